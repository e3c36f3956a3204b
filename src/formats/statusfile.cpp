#include "statusfile.h"

#include <QTextCodec>

namespace StatusFile {

namespace {

const char *const keys[StatusCount] = {"unreviewed", "accepted", "needs-fix", "verified-empty"};

const QByteArray Header = QByteArrayLiteral("# Boxmere review status: status<TAB>label file, one image a line; "
                                            "images not listed are unreviewed\n");

QString escaped(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// False for a backslash before anything but the four escapes.
bool unescaped(const QString &text, QString &name)
{
    name.clear();
    name.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\')) {
            name += c;
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text.at(i).unicode()) {
        case '\\':
            name += QLatin1Char('\\');
            break;
        case 't':
            name += QLatin1Char('\t');
            break;
        case 'r':
            name += QLatin1Char('\r');
            break;
        case 'n':
            name += QLatin1Char('\n');
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace

QString key(Status status)
{
    return QLatin1String(keys[int(status)]);
}

bool fromKey(const QString &key, Status &status)
{
    for (int s = 0; s < StatusCount; ++s) {
        if (key == QLatin1String(keys[s])) {
            status = Status(s);
            return true;
        }
    }
    return false;
}

Read parse(const QByteArray &data)
{
    Read read;
    const QList<QByteArray> lines = data.split('\n');
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        // Lines of a checkout that turned them into CRLF.
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || (i == 0 && line + '\n' == Header))
            continue;
        QTextCodec::ConverterState state;
        const QString text = utf8->toUnicode(line.constData(), line.size(), &state);
        const int tab = text.indexOf(QLatin1Char('\t'));
        Status status;
        QString name;
        if (state.invalidChars > 0 || tab < 0 || !fromKey(text.left(tab), status) || status == Unreviewed ||
            !unescaped(text.mid(tab + 1), name) || name.isEmpty() || read.entries.contains(name)) {
            read.badLines.append(i + 1);
            continue;
        }
        read.entries.insert(name, status);
    }
    return read;
}

QByteArray write(const Entries &entries)
{
    QByteArray out = Header;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (it.value() == Unreviewed)
            continue;
        out += keys[int(it.value())];
        out += '\t';
        out += escaped(it.key()).toUtf8();
        out += '\n';
    }
    return out;
}

} // namespace StatusFile
