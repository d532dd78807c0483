#pragma once

#include <QByteArrayList>
#include <QString>

namespace vx {

// A firmware file as the update reads it: Intel HEX text lines, without their line ends.
struct FirmwareFile
{
    enum class Status
    {
        Valid,
        Invalid,    // not an Intel HEX file
        Unreadable, // could not be opened or read to its end
    };

    Status status = Status::Unreadable;
    QByteArrayList lines;
    QString error; // the system's words, when unreadable
};

// Cuts text into lines at CR LF, CR or LF. A line end at the very end starts no further line.
QByteArrayList splitLines(const QByteArray& text);

// Every line starts with ":" and the last one holds the end-of-file record ":00000001FF". An
// empty file has no such line.
bool isFirmwareText(const QByteArrayList& lines);

// Reads the whole file before anything is sent, so that the controller is only ever given the
// very lines that were checked, and never part of a file that failed to read.
FirmwareFile readFirmwareFile(const QString& path);

// Where the file dialog starts: the "firmware" folder inside the firmware folder while there is
// one, otherwise the firmware folder itself (the folder of the file chosen last).
QString firmwareFilePattern(const QString& firmwareFolder);

} // namespace vx
