#include "ui/DirListBox.h"

#include "forms/Folders.h"

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

} // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::OpenItem);
}

bool DirListBox::SetPath(const QString& text) {
    const std::optional<forms::Folder> folder = forms::ReadFolder(text.toUtf8().toStdString());
    if (!folder)
        return false;
    const QString newPath = QString::fromUtf8(folder->path);
    const bool changed = newPath != path_;
    path_ = newPath;
    Fill(*folder);
    if (changed)
        emit pathChanged(path_);
    return true;
}

void DirListBox::Fill(const forms::Folder& folder) {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (const forms::DirRow& row : folder.rows) {
        auto* item =
            new QListWidgetItem(row.open ? open : closed, QString::fromUtf8(row.label), this);
        item->setData(PathRole, QString::fromUtf8(row.path));
        item->setData(DepthRole, row.depth);
    }
    ancestorCount_ = folder.ancestorCount;
    setCurrentRow(folder.current);
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
