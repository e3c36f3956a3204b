#include "yololabelfile.h"

#include "boxes/bboxlist.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace YoloLabelFile {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Strips the white space that QString's number conversion would ignore.
void trim(const char *&begin, const char *&end)
{
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
}

// std::from_chars takes no plus sign; "+-1" must still fail.
void skipPlus(const char *&begin, const char *end)
{
    if (end - begin > 1 && begin[0] == '+' && begin[1] != '-' && begin[1] != '+')
        ++begin;
}

// Reads an int the way QString::toInt(nullptr, 10) does: surrounding blanks
// ignored, an optional sign, and 0 for anything that is not a whole number.
bool toInt(const char *begin, const char *end, int &value)
{
    trim(begin, end);
    skipPlus(begin, end);
    int parsed = 0;
    const auto r = std::from_chars(begin, end, parsed);
    if (begin == end || r.ec != std::errc() || r.ptr != end) {
        value = 0;
        return false;
    }
    value = parsed;
    return true;
}

// Reads a double the way QString::toDouble does in the C locale.
bool toDouble(const char *begin, const char *end, double &value)
{
    trim(begin, end);
    skipPlus(begin, end);
    double parsed = 0.0;
    const auto r = std::from_chars(begin, end, parsed, std::chars_format::general);
    if (begin == end || r.ec != std::errc() || r.ptr != end) {
        value = 0.0;
        return false;
    }
    value = parsed;
    return true;
}

bool isBlankRange(const char *begin, const char *end)
{
    for (; begin < end; ++begin) {
        if (!isBlank(*begin))
            return false;
    }
    return true;
}

} // namespace

ReadResult parse(const QByteArray &bytes)
{
    ReadResult result;
    const char *p = bytes.constData();
    // Decoding stops at the first zero byte, as QString's conversion from bytes does.
    const char *const end = p + qstrnlen(p, size_t(bytes.size()));

    int line = 0;
    while (p <= end) {
        ++line;
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;

        const char *fields[6][2];
        int count = 0;
        bool extraData = false;
        for (const char *f = p;;) {
            const char *fieldEnd = static_cast<const char *>(std::memchr(f, ' ', size_t(lineEnd - f)));
            if (!fieldEnd)
                fieldEnd = lineEnd;
            if (count < 5) {
                fields[count][0] = f;
                fields[count][1] = fieldEnd;
            } else if (!isBlankRange(f, fieldEnd)) {
                extraData = true;
            }
            ++count;
            if (fieldEnd == lineEnd)
                break;
            f = fieldEnd + 1;
        }

        if (count >= 5) {
            auto box = std::make_shared<BoxInfo>();
            box->line = line;
            bool ok = toInt(fields[0][0], fields[0][1], box->catId);
            ok &= toDouble(fields[1][0], fields[1][1], box->cx);
            ok &= toDouble(fields[2][0], fields[2][1], box->cy);
            ok &= toDouble(fields[3][0], fields[3][1], box->cw);
            ok &= toDouble(fields[4][0], fields[4][1], box->ch);
            if (!ok || extraData) {
                result.whole = false;
                result.partial.append(
                    {line, result.boxes.size(), extraData ? PartialLine::ExtraFields : PartialLine::NotANumber});
            }
            result.boxes.append(std::move(box));
        } else if (!isBlankRange(p, lineEnd)) {
            result.whole = false;
            result.partial.append({line, -1});
        }
        p = lineEnd + 1;
    }
    if (!result.whole)
        result.text = bytes.left(int(end - bytes.constData()));
    return result;
}

void appendNumber(QByteArray &out, double value)
{
    if (!std::isfinite(value)) {
        out += std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
        return;
    }
    if (value == 0.0) {
        out += '0'; // Qt writes no sign for negative zero
        return;
    }
    // %g with six significant digits in the C locale, which is what
    // QString::arg(double) produces for format 'g' and precision -1.
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    out.append(buffer, int(r.ptr - buffer));
}

void appendLine(QByteArray &out, const BoxInfo &box)
{
    char buffer[16];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, box.catId);
    out.append(buffer, int(r.ptr - buffer));
    for (double v : {box.cx, box.cy, box.cw, box.ch}) {
        out += ' ';
        appendNumber(out, v);
    }
}

QByteArray format(const QVector<std::shared_ptr<BoxInfo>> &boxes)
{
    QByteArray out;
    out.reserve(boxes.size() * 48);
    for (int i = 0; i < boxes.size(); ++i) {
        if (i > 0)
            out += '\n';
        appendLine(out, *boxes.at(i));
    }
    return out;
}

} // namespace YoloLabelFile
