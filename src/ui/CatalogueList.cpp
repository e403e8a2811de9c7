#include "ui/CatalogueList.h"

#include <QItemSelectionModel>

namespace ui {

CatalogueColumnModel::CatalogueColumnModel(const UnrealMOD::CatalogueStore& store,
                                           UnrealMOD::CatalogueColumn column, QObject* parent)
    : QAbstractListModel(parent), store_(store), column_(column) {}

int CatalogueColumnModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : store_.Rows();
}

QVariant CatalogueColumnModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const std::string_view cell = store_.Cell(column_, index.row());
    return QString::fromUtf8(cell.data(), qsizetype(cell.size()));
}

void CatalogueColumnModel::BeginAppend(int count) {
    beginInsertRows(QModelIndex(), store_.Rows(), store_.Rows() + count - 1);
}

void CatalogueColumnModel::EndAppend() {
    endInsertRows();
}

CatalogueList::CatalogueList(const UnrealMOD::CatalogueStore& store,
                             UnrealMOD::CatalogueColumn column, QWidget* parent)
    : QListView(parent), model_(new CatalogueColumnModel(store, column, this)) {
    setModel(model_);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { emit currentRowChanged(current.row()); });
}

int CatalogueList::count() const {
    return model_->rowCount();
}

int CatalogueList::currentRow() const {
    return currentIndex().row();
}

void CatalogueList::setCurrentRow(int row) {
    setCurrentIndex(model_->index(row, 0));
}

QString CatalogueList::text(int row) const {
    return model_->data(model_->index(row, 0)).toString();
}

} // namespace ui
