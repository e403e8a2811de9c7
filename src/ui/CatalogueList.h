#pragma once
// A list box of the catalogue: one column of a CatalogueStore shown through a list view. The
// rows are read from the store when they are drawn, so a list of a million rows holds no text
// of its own.

#include "catalogue/CatalogueStore.h"

#include <QAbstractListModel>
#include <QListView>

namespace ui {

class CatalogueColumnModel : public QAbstractListModel {
public:
    CatalogueColumnModel(const UnrealMOD::CatalogueStore& store, UnrealMOD::CatalogueColumn column,
                         QObject* parent);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The store changes under the model; these tell the views.
    void BeginAppend(int count);
    void EndAppend();
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

private:
    const UnrealMOD::CatalogueStore& store_;
    UnrealMOD::CatalogueColumn column_;
};

class CatalogueList : public QListView {
    Q_OBJECT
public:
    CatalogueList(const UnrealMOD::CatalogueStore& store, UnrealMOD::CatalogueColumn column,
                  QWidget* parent);
    CatalogueColumnModel* Column() const { return model_; }

    int count() const;
    int currentRow() const;
    // Makes the row current and selects it; -1 leaves no row current.
    void setCurrentRow(int row);
    QString text(int row) const;

signals:
    void currentRowChanged(int row);

private:
    CatalogueColumnModel* model_;
};

} // namespace ui
