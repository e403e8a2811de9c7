#pragma once
// A list of the folders along one path (each ancestor, from the drive root down) and of the
// folders directly below it, like the classic directory list. Double-clicking a folder (or
// pressing Enter on it) opens it. Paths are Windows-style strings: "C:\", "C:\UnrealTournament"
// (no trailing backslash except at a drive root); disk access goes through the platform layer.

#include "forms/Folders.h"

#include <QListWidget>
#include <QString>
#include <QStringList>

namespace ui {

class DirListBox : public QListWidget {
    Q_OBJECT
public:
    // Item data: the full path of the folder an item stands for, and its indentation level.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int DepthRole = Qt::UserRole + 1;

    explicit DirListBox(QWidget* parent = nullptr);

    // Empty until a path is first set.
    QString Path() const { return path_; }

    // Opens the folder. Takes either separator, any letter case, a trailing backslash or none;
    // the path kept is spelled as the folders are on disk. False, and nothing changes, when the
    // path names no drive or a folder that is missing or cannot be read. Emits pathChanged
    // when the path is another one than before; the same path just reads the folder again.
    bool SetPath(const QString& path);

    // The folders shown from the root down to the open one, and the folders below it.
    QStringList Ancestors() const;
    QStringList Subfolders() const;

signals:
    void pathChanged(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenItem(QListWidgetItem* item);
    void Fill(const forms::Folder& folder);

    QString path_;
    int ancestorCount_ = 0;
};

} // namespace ui
