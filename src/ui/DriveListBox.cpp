#include "ui/DriveListBox.h"

#include "platform/FileSystem.h"

#include <QApplication>
#include <QSignalBlocker>
#include <QStyle>

namespace ui {

namespace {

QString EntryFor(char letter) {
    return QString(QChar(letter)) + QLatin1Char(':');
}

} // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    Refresh();
    // The list starts on drive C like the classic control started on the current drive.
    if (const int c = findData(QVariant(int('c'))); c >= 0) {
        const QSignalBlocker quiet(this);
        setCurrentIndex(c);
    }
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int) { emit driveChanged(Drive()); });
}

char DriveListBox::DriveLetter(const QString& text) {
    if (text.size() < 2 || text[1] != QLatin1Char(':'))
        return 0;
    const char16_t c = text[0].unicode();
    if (c >= u'A' && c <= u'Z')
        return char(c - u'A' + 'a');
    if (c >= u'a' && c <= u'z')
        return char(c);
    return 0;
}

QString DriveListBox::Drive() const {
    const QVariant letter = currentData();
    return letter.isValid() ? EntryFor(char(letter.toInt())) : QString();
}

bool DriveListBox::SetDrive(const QString& drive) {
    const char letter = DriveLetter(drive);
    const int index = letter ? findData(QVariant(int(letter))) : -1;
    if (index < 0)
        return false;
    setCurrentIndex(index); // emits driveChanged only when it is another drive
    return true;
}

void DriveListBox::Refresh() {
    const QVariant selected = currentData();
    const QSignalBlocker quiet(this);
    clear();
    const QIcon icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    for (const std::string& name : platform::LogicalDrives()) {
        const char letter = DriveLetter(QString::fromUtf8(name));
        if (letter)
            addItem(icon, EntryFor(letter), QVariant(int(letter)));
    }
    if (selected.isValid()) {
        if (const int again = findData(selected); again >= 0)
            setCurrentIndex(again);
    }
}

} // namespace ui
