#include "yololabelfile.h"

#include "boxes/bboxlist.h"
#include "boxes/prediction.h"

#include <QVarLengthArray>

#include <algorithm>
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

    QVarLengthArray<double, 64> numbers;
    int line = 0;
    while (p <= end) {
        ++line;
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;

        // The class, then every field up to the last one that is not blank; blank
        // fields after it are a trailing space, not data.
        int catId = 0;
        bool ok = true;
        int count = 0;
        int blankRun = 0;
        numbers.clear();
        for (const char *f = p;;) {
            const char *fieldEnd = static_cast<const char *>(std::memchr(f, ' ', size_t(lineEnd - f)));
            if (!fieldEnd)
                fieldEnd = lineEnd;
            if (isBlankRange(f, fieldEnd)) {
                ++blankRun;
            } else {
                // Blank fields before this one are empty values in the middle of the line.
                for (; blankRun > 0; --blankRun, ++count) {
                    ok = false;
                    if (count > 0)
                        numbers.append(0.0);
                }
                if (count == 0) {
                    ok &= toInt(f, fieldEnd, catId);
                } else {
                    double value;
                    ok &= toDouble(f, fieldEnd, value);
                    numbers.append(value);
                }
                ++count;
            }
            if (fieldEnd == lineEnd)
                break;
            f = fieldEnd + 1;
        }
        // Up to five fields the empty ones count, so that "0  0.5 0.5 0.1" still
        // reads as a box with a value missing, as it always has.
        if (count > 0 && count < 5 && blankRun > 0) {
            count = qMin(5, count + blankRun);
            ok = false;
        }
        while (numbers.size() < count - 1)
            numbers.append(0.0);

        const int coords = count - 1;
        if (count >= 5) {
            auto box = std::make_shared<BoxInfo>();
            box->line = line;
            box->catId = catId;
            const bool polygon = coords >= 6 && coords % 2 == 0;
            if (polygon) {
                QVector<double> xy(coords);
                std::copy(numbers.cbegin(), numbers.cbegin() + coords, xy.begin());
                box->setPoints(xy);
            } else {
                box->cx = numbers[0];
                box->cy = numbers[1];
                box->cw = numbers[2];
                box->ch = numbers[3];
            }
            if (!ok || (coords > 4 && !polygon)) {
                result.whole = false;
                result.partial.append({line, result.boxes.size(),
                                       coords > 4 && !polygon ? PartialLine::ExtraFields : PartialLine::NotANumber});
            }
            result.boxes.append(std::move(box));
        } else if (count > 0) {
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
    if (box.isPolygon()) {
        for (double v : box.points) {
            out += ' ';
            appendNumber(out, v);
        }
        return;
    }
    for (double v : {box.cx, box.cy, box.cw, box.ch}) {
        out += ' ';
        appendNumber(out, v);
    }
}

QVector<Prediction> parsePredictions(const QByteArray &bytes, int *badLines)
{
    QVector<Prediction> predictions;
    int bad = 0;
    QVarLengthArray<double, 64> numbers;
    const char *p = bytes.constData();
    const char *const end = p + qstrnlen(p, size_t(bytes.size()));
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        int catId = 0;
        bool ok = true;
        int fields = 0;
        numbers.clear();
        for (const char *f = p; f < lineEnd && ok;) {
            const char *fieldEnd = static_cast<const char *>(std::memchr(f, ' ', size_t(lineEnd - f)));
            if (!fieldEnd)
                fieldEnd = lineEnd;
            if (!isBlankRange(f, fieldEnd)) {
                double value = 0;
                // A confidence or corner that is no finite number would rank and match at random.
                ok = fields == 0 ? toInt(f, fieldEnd, catId) : toDouble(f, fieldEnd, value) && std::isfinite(value);
                if (fields++ > 0)
                    numbers.append(value);
            }
            f = fieldEnd + 1;
        }
        p = lineEnd + 1;
        if (fields == 0)
            continue;
        const int n = numbers.size();
        // Four or five numbers: a box, with or without its confidence; more: corners,
        // then a confidence when their count is odd.
        const bool box = n == 4 || n == 5;
        const int coords = box ? 4 : n - n % 2;
        if (!ok || (!box && coords < 6)) {
            ++bad;
            continue;
        }
        Prediction prediction;
        prediction.catId = catId;
        prediction.score = coords < n ? numbers[n - 1] : 1.0;
        if (box) {
            prediction.cx = numbers[0];
            prediction.cy = numbers[1];
            prediction.cw = numbers[2];
            prediction.ch = numbers[3];
        } else {
            BoxInfo bounds;
            bounds.setPoints(QVector<double>(numbers.cbegin(), numbers.cbegin() + coords));
            prediction.cx = bounds.cx;
            prediction.cy = bounds.cy;
            prediction.cw = bounds.cw;
            prediction.ch = bounds.ch;
        }
        predictions.append(prediction);
    }
    if (badLines)
        *badLines = bad;
    return predictions;
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
