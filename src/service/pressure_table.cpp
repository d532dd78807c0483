#include "service/pressure_table.h"

#include "serial/hex.h"
#include "service/air_pressure_values.h"

#include <algorithm>

namespace vx {

namespace {

constexpr int kMaxByte = 255;
constexpr double kFullScaleVolts = 5.0;
constexpr double kMaxTableValue = 65535.0;
// Address, data and checksum bytes that follow the count byte.
constexpr int kRecordCount = kPressureRecordEntries + 4 + 1;

} // namespace

PressureTable BuildPressureTable()
{
    PressureTable table{};
    for (int i = 1; i < kPressureTableEntries; ++i) {
        // The controller's reading of i volts is held in single precision.
        const float volts = static_cast<float>(i / 255.0 * kFullScaleVolts);
        // Bounded before rounding so that even a degenerate calibration gives whole numbers.
        double psi = PsiFromVolts(volts);
        if (!(psi > 0))
            psi = 0;
        psi = std::min(psi, kMaxTableValue);
        table[static_cast<size_t>(i)] = static_cast<int>(roundHalfEven(psi));
    }
    table[0] = 0;
    return table;
}

QString PressureTableRecord(const PressureTable& table, int record)
{
    const int address = record * kPressureRecordEntries;
    QString data;
    int sum = 0;
    for (int k = 0; k < kPressureRecordEntries; ++k) {
        const int value = std::min(table[static_cast<size_t>(address + k)], kMaxByte);
        data += hexPadded(value, 2);
        sum += value;
    }
    sum += kRecordCount + address / 256 + address % 256;
    const int checksum = kMaxByte - sum % 256;
    return QStringLiteral("S3") + hexPadded(kRecordCount, 2) + hexPadded(address, 8) + data +
           hexPadded(checksum, 2);
}

} // namespace vx
