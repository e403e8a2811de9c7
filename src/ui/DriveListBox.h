#pragma once
// A drop-down list of the machine's drives, shown as "c:", "d:" ... like the classic drive list
// (on POSIX: the drives of the Wine prefix).

#include <QComboBox>
#include <QString>

namespace ui {

class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The selected drive as "c:"; empty when no drive is listed.
    QString Drive() const;
    // Takes "C:\", "c:", "C:\Some\Folder" (only the drive letter counts). False, and no change,
    // when the text names no listed drive.
    bool SetDrive(const QString& drive);

    // Reads the drive list again, keeping the selected drive when it is still there.
    void Refresh();

    // "C:\anything" or "c:" -> 'c'; 0 when the text does not start with a drive.
    static char DriveLetter(const QString& text);

signals:
    // The selected drive changed, by the user or by the program.
    void driveChanged(const QString& drive);
};

} // namespace ui
