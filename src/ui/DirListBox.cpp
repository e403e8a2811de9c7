#include "ui/DirListBox.h"

#include "platform/FileSystem.h"
#include "ui/DriveListBox.h"

#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include <optional>

namespace ui {

namespace {

// Indents each row by its level, as the classic list draws its folder tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + Indent(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += Indent(index);
        return size;
    }

private:
    static int Indent(const QModelIndex& index) {
        return index.data(DirListBox::DepthRole).toInt() * 8;
    }
};

std::string ToNative(const QString& s) {
    return s.toUtf8().toStdString();
}

// The on-disk spelling of a sub-folder: an exact match first, otherwise the first one equal
// under case folding.
std::optional<QString> MatchFolder(const std::vector<std::string>& folders, const QString& name) {
    const std::string exact = ToNative(name);
    for (const std::string& f : folders)
        if (f == exact)
            return name;
    const QString folded = name.toCaseFolded();
    for (const std::string& f : folders) {
        const QString candidate = QString::fromUtf8(f);
        if (candidate.toCaseFolded() == folded)
            return candidate;
    }
    return std::nullopt;
}

} // namespace

QString DirPath::Join() const {
    if (drive.isEmpty())
        return {};
    return drive + QLatin1Char('\\') + components.join(QLatin1Char('\\'));
}

DirPath ParseDirPath(const QString& text) {
    DirPath result;
    const char letter = DriveListBox::DriveLetter(text);
    if (!letter)
        return result;
    result.drive = QString(QChar(letter)).toUpper() + QLatin1Char(':');
    QString rest = text.mid(2);
    rest.replace(QLatin1Char('/'), QLatin1Char('\\'));
    for (const QString& part : rest.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!result.components.isEmpty())
                result.components.removeLast();
            continue;
        }
        result.components.append(part);
    }
    return result;
}

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::OpenItem);
}

bool DirListBox::SetPath(const QString& text) {
    const DirPath parsed = ParseDirPath(text);
    if (parsed.drive.isEmpty())
        return false;

    // Walk down from the root, taking each folder's spelling from the disk.
    DirPath found{parsed.drive, {}};
    std::optional<std::vector<std::string>> below =
        platform::ListSubfolders(ToNative(found.Join()));
    for (const QString& part : parsed.components) {
        if (!below)
            return false;
        const std::optional<QString> name = MatchFolder(*below, part);
        if (!name)
            return false;
        found.components.append(*name);
        below = platform::ListSubfolders(ToNative(found.Join()));
    }
    if (!below)
        return false;

    const QString newPath = found.Join();
    const bool changed = newPath != path_;
    path_ = newPath;
    Fill(found.components, *below);
    if (changed)
        emit pathChanged(path_);
    return true;
}

void DirListBox::Fill(const QStringList& components, const std::vector<std::string>& below) {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    DirPath walk{ParseDirPath(path_).drive, {}};
    auto add = [this](const QIcon& icon, const QString& label, const QString& full, int depth) {
        auto* item = new QListWidgetItem(icon, label, this);
        item->setData(PathRole, full);
        item->setData(DepthRole, depth);
        return item;
    };
    QListWidgetItem* current = add(open, walk.Join(), walk.Join(), 0);
    for (const QString& part : components) {
        walk.components.append(part);
        current = add(open, part, walk.Join(), int(walk.components.size()));
    }
    ancestorCount_ = int(components.size()) + 1;
    const int childDepth = int(components.size()) + 1;
    for (const std::string& name : below) {
        const QString child = QString::fromUtf8(name);
        DirPath sub = walk;
        sub.components.append(child);
        add(closed, child, sub.Join(), childDepth);
    }
    setCurrentItem(current);
}

QStringList DirListBox::Ancestors() const {
    QStringList names;
    for (int i = 0; i < ancestorCount_ && i < count(); ++i)
        names.append(item(i)->text());
    return names;
}

QStringList DirListBox::Subfolders() const {
    QStringList names;
    for (int i = ancestorCount_; i < count(); ++i)
        names.append(item(i)->text());
    return names;
}

void DirListBox::OpenItem(QListWidgetItem* item) {
    if (!item)
        return;
    // A folder that vanished since it was listed: show the disk as it is now.
    if (!SetPath(item->data(PathRole).toString()))
        SetPath(path_);
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OpenItem(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace ui
