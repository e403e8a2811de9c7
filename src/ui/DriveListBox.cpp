#include "ui/DriveListBox.h"

#include "forms/Folders.h"

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
    return forms::DriveLetter(text.left(2).toUtf8().toStdString());
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
    for (const std::string& entry : forms::DriveEntries())
        addItem(icon, QString::fromUtf8(entry), QVariant(int(entry[0])));
    if (selected.isValid()) {
        if (const int again = findData(selected); again >= 0)
            setCurrentIndex(again);
    }
}

} // namespace ui
