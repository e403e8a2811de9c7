#pragma once
// The cache entries window: one row per catalogue entry with what it is and what a transfer would
// do with it. The player checks the rows to move and chooses between installed and cached
// versions.

#include "forms/EntriesLogic.h"
#include "transfer/Entries.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace ui {

class MainForm;

// The table's rows as forms::EntriesModel gives them. Sorting and filtering are that model's own,
// not a QSortFilterProxyModel's: rows are examined lazily (each costs reading files), and a
// proxy asks for every row's data to sort or filter, which would examine all 100,000 at once.
class EntriesTable : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntriesTable(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    forms::EntriesModel& Model() { return model_; }
    const forms::EntriesModel& Model() const { return model_; }
    // A change of the shown rows (load, filter, sort), told to the view as a reset.
    void Change(const std::function<void(forms::EntriesModel&)>& change);
    // Rows learnt in spare time: every cell may read differently.
    void FactsChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

signals:
    void checksChanged();

private:
    forms::EntriesModel model_;
};

class EntriesWindow : public QWidget {
    Q_OBJECT
public:
    // Belongs to the main window, which closes it when it goes; a window of its own, so that the
    // main window's bar can be brought in front of it during a run.
    explicit EntriesWindow(MainForm& main);
    ~EntriesWindow() override;

    // The rows of the catalogue as the main window holds it now, examined as they are needed.
    void Reload();
    // The catalogue is about to change (a run, a read): nothing is read from it until Reload,
    // ShowRun or Thaw, and the window takes no input.
    void Freeze();
    // The catalogue did not change after all.
    void Thaw();
    // The rows after a run, each saying what the run did with it; `before`: the rows as they were.
    void ShowRun(const std::vector<UnrealMOD::EntryView>& before);

    // Shows the window in front, the list holding the focus.
    void Bring();

    // Handlers.
    void MoveChecked_Click();
    void ToggleSelected();
    // "Install the cached version" for these shown rows (those with another version installed).
    void InstallCached(const std::vector<int>& shownRows);
    void Refresh(); // F5

    std::vector<int> SelectedRows() const; // shown rows, in order
    EntriesTable& Table() { return *table_; }
    // What the context menu offers for the selected rows (empty: no menu).
    std::vector<std::string> ContextItems() const;

    QLineEdit* Filter = nullptr;
    QComboBox* Kinds = nullptr;
    QTableView* List = nullptr;
    QLabel* Status = nullptr;
    QPushButton* MoveChecked = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOut();
    void ShowStatus();
    void ExamineInSpareTime();
    void ShowContextMenu(const QPoint& at);
    void StartExamining();

    MainForm& main_;
    EntriesTable* table_ = nullptr;
    std::unique_ptr<UnrealMOD::EntryDescriber> describer_;
    QTimer* examiner_ = nullptr;
    std::optional<std::uint64_t> freeBytes_;
    // Rows the player left unchecked in a "Move checked": they stay unchecked after it.
    std::vector<std::string> leftUnchecked_; // what "Move checked" left unchecked
};

} // namespace ui
