#ifndef BOXMERE_IDENTITY_H
#define BOXMERE_IDENTITY_H

namespace Boxmere {

// Sets the application and organisation names; call before the application object exists.
void setApplicationIdentity();

} // namespace Boxmere

#endif
