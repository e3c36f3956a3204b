#include "identity.h"

#include <QCoreApplication>

namespace Boxmere {

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Boxmere"));
    QCoreApplication::setOrganizationName(QStringLiteral("Ordavi"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("ordavi.org"));
}

} // namespace Boxmere
