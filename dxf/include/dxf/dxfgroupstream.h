#pragma once

#include <QIODevice>
#include <QPointF>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace dxf {

// Group codes, then values, one per line; codes right-aligned in three columns as DXF files
// usually have them. Sent to the device in blocks of a fixed size, so a sheet of large models never
// holds its whole text in memory and no buffer is copied as it grows.
class GroupStream {
public:
    explicit GroupStream(QIODevice &device)
        : device(device)
    {
        out.reserve(blockSize + 4096);
    }

    // False once the device took less than it was given.
    bool finish()
    {
        flush();
        return ok;
    }

    void code(int groupCode)
    {
        char line[8] = { ' ', ' ', ' ' };
        char *end = line + 3;
        if (groupCode >= 100) {
            end = std::to_chars(line, line + 7, groupCode).ptr;
        } else {
            line[2] = char('0' + groupCode % 10);
            if (groupCode >= 10)
                line[1] = char('0' + groupCode / 10);
        }
        *end++ = '\n';
        out.append(line, end - line);
    }
    void text(int groupCode, const char *value)
    {
        code(groupCode);
        out.append(value);
        out.push_back('\n');
    }
    void text(int groupCode, const QByteArray &value)
    {
        code(groupCode);
        out.append(value.constData(), value.size());
        out.push_back('\n');
    }
    void integer(int groupCode, int value)
    {
        code(groupCode);
        char buffer[16];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        out.append(buffer, result.ptr - buffer);
        out.push_back('\n');
    }
    // Fixed notation: some readers take no exponents.
    void real(int groupCode, double value)
    {
        code(groupCode);
        if (value == 0 || std::abs(value) < 5e-7) {
            out.append("0.0\n");
            return;
        }
        char buffer[400];
        const auto result
            = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
        const char *end = result.ptr;
        while (end[-1] == '0' && end[-2] != '.')
            --end;
        out.append(buffer, end - buffer);
        out.push_back('\n');
    }
    void point(int baseCode, const QPointF &p)
    {
        real(baseCode, p.x());
        real(baseCode + 10, p.y());
        real(baseCode + 20, 0);
    }
    void entity(const char *type, const char *layer)
    {
        if (out.size() >= blockSize)
            flush();
        text(0, type);
        text(8, layer);
    }

private:
    static constexpr std::size_t blockSize = 64 * 1024;

    void flush()
    {
        if (ok && !out.empty())
            ok = device.write(out.data(), qint64(out.size())) == qint64(out.size());
        out.clear();
    }

    QIODevice &device;
    std::string out;
    bool ok = true;
};

// The linetype table of an R12 drawing whose lines are all solid: CONTINUOUS alone.
inline void writeContinuousLinetypeTable(GroupStream &file)
{
    file.text(0, "TABLE");
    file.text(2, "LTYPE");
    file.integer(70, 1);
    file.text(0, "LTYPE");
    file.text(2, "CONTINUOUS");
    file.integer(70, 0);
    file.text(3, "Solid line");
    file.integer(72, 65);
    file.integer(73, 0);
    file.real(40, 0);
    file.text(0, "ENDTAB");
}

} // namespace dxf
