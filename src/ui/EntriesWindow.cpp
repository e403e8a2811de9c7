#include "ui/EntriesWindow.h"

#include "platform/FileSystem.h"
#include "runtime/Globals.h"
#include "transfer/Replace.h"
#include "ui/MainForm.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <set>

namespace ui {

namespace {

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

forms::EntriesColumn ColumnOf(int section) {
    return static_cast<forms::EntriesColumn>(section);
}

// Rows that cannot be checked are drawn disabled, yet stay selectable: the context menu acts on
// them.
class EntriesDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.siblingAtColumn(0).flags().testFlag(Qt::ItemIsUserCheckable))
            option->state &= ~QStyle::State_Enabled;
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        // The classic style draws the check mark of a selected row in the highlight's text colour,
        // white in a white box: drawn again as on an unselected row, it stays visible.
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        if (!opt.features.testFlag(QStyleOptionViewItem::HasCheckIndicator) ||
            !opt.state.testFlag(QStyle::State_Selected))
            return;
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        QStyleOptionViewItem check = opt;
        check.rect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, widget);
        check.state &= ~QStyle::State_Selected;
        check.state |= opt.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, painter, widget);
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------

void EntriesTable::Change(const std::function<void(forms::EntriesModel&)>& change) {
    beginResetModel();
    change(model_);
    endResetModel();
    emit checksChanged();
}

void EntriesTable::FactsChanged() {
    if (model_.Shown() > 0)
        emit dataChanged(index(0, 0), index(model_.Shown() - 1, forms::EntriesColumnCount - 1));
    emit checksChanged();
}

int EntriesTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : model_.Shown();
}

int EntriesTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : forms::EntriesColumnCount;
}

QVariant EntriesTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int s = index.row();
    const forms::EntriesColumn column = ColumnOf(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return Q(model_.Cell(s, column));
    case Qt::ToolTipRole: {
        const std::string tip = model_.Tooltip(s, column);
        if (tip.empty())
            return {};
        // Rich text would read markup in a name; escaped and wrapped, it reads as it is.
        QString html = Q(tip).toHtmlEscaped();
        html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
        return QStringLiteral("<qt>") + html + QStringLiteral("</qt>");
    }
    case Qt::CheckStateRole:
        if (column == forms::EntriesColumn::Name)
            return model_.Checked(s) ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        if (column == forms::EntriesColumn::Size)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

bool EntriesTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0)
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (!model_.SetChecked(index.row(), checked))
        return false;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit checksChanged();
    return true;
}

Qt::ItemFlags EntriesTable::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (model_.Checkable(index.row()))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant EntriesTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < forms::EntriesColumnCount)
        return QString::fromUtf8(forms::ColumnTitle(ColumnOf(section)));
    return {};
}

void EntriesTable::sort(int column, Qt::SortOrder order) {
    Change([&](forms::EntriesModel& model) {
        if (column < 0 || column >= forms::EntriesColumnCount)
            model.ResetOrder(); // the header's third click: index order again
        else
            model.SortBy(ColumnOf(column), order == Qt::AscendingOrder);
    });
}

// ---------------------------------------------------------------------------------------------

EntriesWindow::EntriesWindow(MainForm& main) : QWidget(nullptr, Qt::Window), main_(main) {
    setObjectName(QStringLiteral("EntriesWindow"));
    setWindowTitle(QString::fromStdString(forms::EntriesWindowTitle()));
    setWindowIcon(main.windowIcon());
    setMinimumSize(TwipsToPixels(forms::EntriesMinimumWidth),
                   TwipsToPixels(forms::EntriesMinimumHeight));
    resize(TwipsToPixels(forms::EntriesDefaultWidth), TwipsToPixels(forms::EntriesDefaultHeight));

    Filter = new QLineEdit(this);
    Filter->setObjectName(QStringLiteral("Filter"));
    Filter->setPlaceholderText(QString::fromUtf8(forms::FilterCue));
    Filter->setClearButtonEnabled(true);

    Kinds = new QComboBox(this);
    Kinds->setObjectName(QStringLiteral("Kinds"));
    // Each item carries its kind (-1: every kind): the kinds listed are the game's own.
    const auto choices = forms::KindFilterChoices();
    const auto items = forms::KindFilterItems();
    for (std::size_t i = 0; i < choices.size(); ++i)
        Kinds->addItem(Q(items[i]), choices[i] ? static_cast<int>(*choices[i]) : -1);

    table_ = new EntriesTable(this);
    List = new QTableView(this);
    List->setObjectName(QStringLiteral("List"));
    List->setModel(table_);
    List->setItemDelegate(new EntriesDelegate(List));
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setWordWrap(false);
    List->setTextElideMode(Qt::ElideRight);
    List->setShowGrid(false);
    List->setAlternatingRowColors(true);
    List->setContextMenuPolicy(Qt::CustomContextMenu);
    List->verticalHeader()->hide();
    // Fixed row heights: the view never measures 100,000 rows.
    List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List->verticalHeader()->setDefaultSectionSize(List->fontMetrics().height() + 4);
    QHeaderView* header = List->horizontalHeader();
    header->setHighlightSections(false);
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder); // index order until a header is clicked
    List->setSortingEnabled(true);
    for (int c = 0; c < forms::EntriesColumnCount; ++c)
        List->setColumnWidth(c, TwipsToPixels(forms::ColumnWidth(ColumnOf(c))));
    header->setStretchLastSection(true);
    List->installEventFilter(this);

    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setTextFormat(Qt::PlainText);

    MoveChecked = new QPushButton(QString::fromUtf8(forms::MoveCheckedCaption), this);
    MoveChecked->setObjectName(QStringLiteral("MoveChecked"));

    examiner_ = new QTimer(this);
    examiner_->setInterval(0);
    connect(examiner_, &QTimer::timeout, this, &EntriesWindow::ExamineInSpareTime);

    setTabOrder(List, MoveChecked);
    setTabOrder(MoveChecked, Filter);
    setTabOrder(Filter, Kinds);

    connect(Filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        table_->Change(
            [&](forms::EntriesModel& m) { m.SetNameFilter(text.toUtf8().toStdString()); });
        StartExamining();
    });
    connect(Kinds, &QComboBox::currentIndexChanged, this, [this](int i) {
        std::optional<UnrealMOD::EntryKind> kind;
        if (const int k = Kinds->itemData(i).toInt(); i >= 0 && k >= 0)
            kind = static_cast<UnrealMOD::EntryKind>(k);
        table_->Change([&](forms::EntriesModel& m) { m.SetKindFilter(kind); });
        StartExamining();
    });
    connect(table_, &EntriesTable::checksChanged, this, &EntriesWindow::ShowStatus);
    connect(MoveChecked, &QPushButton::clicked, this, &EntriesWindow::MoveChecked_Click);
    connect(List, &QTableView::customContextMenuRequested, this, &EntriesWindow::ShowContextMenu);

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refresh, &QShortcut::activated, this, &EntriesWindow::Refresh);

    LayOut();
}

EntriesWindow::~EntriesWindow() {
    // The model's examiner refers to the describer: the model goes first.
    table_->Change([](forms::EntriesModel& m) { m.Load({}); });
}

void EntriesWindow::Bring() {
    show();
    raise();
    activateWindow();
    List->setFocus();
    if (!List->currentIndex().isValid() && table_->rowCount() > 0)
        List->setCurrentIndex(table_->index(0, 0));
}

void EntriesWindow::LayOut() {
    const forms::EntriesLayout l =
        forms::LayOutEntries(PixelsToTwips(width()), PixelsToTwips(height()));
    SetTwips(Filter, l.filter);
    SetTwips(Kinds, l.kinds);
    SetTwips(List, l.list);
    SetTwips(Status, l.status);
    SetTwips(MoveChecked, l.moveChecked);
}

void EntriesWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void EntriesWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Rows are examined as they are drawn only once the window is up, so that it opens at once.
    QTimer::singleShot(0, this, [this] {
        if (isEnabled())
            table_->Model().ExamineWhenShown(true);
    });
}

void EntriesWindow::Reload() {
    auto describer = std::make_unique<UnrealMOD::EntryDescriber>(main_);
    table_->Change([&](forms::EntriesModel& m) {
        m.Load(*describer, main_.RowCount());
        m.ExamineWhenShown(isVisible());
    });
    describer_ = std::move(describer);
    leftUnchecked_.clear();
    freeBytes_ = platform::FreeSpace(UnrealMOD::GameFolder);
    setEnabled(true);
    StartExamining();
}

void EntriesWindow::Freeze() {
    examiner_->stop();
    table_->Model().ExamineWhenShown(false);
    setEnabled(false);
}

void EntriesWindow::Thaw() {
    setEnabled(true);
    table_->Model().ExamineWhenShown(isVisible());
    StartExamining();
}

void EntriesWindow::ShowRun(const std::vector<UnrealMOD::EntryView>& before) {
    std::vector<UnrealMOD::EntryView> rows =
        UnrealMOD::DescribeEntries(main_, &UnrealMOD::LastRunReport(), &before);
    const std::vector<std::string> unchecked = std::move(leftUnchecked_);
    table_->Change([&](forms::EntriesModel& m) {
        m.Load(std::move(rows));
        m.KeepUnchecked(unchecked);
    });
    describer_.reset();
    leftUnchecked_.clear();
    freeBytes_ = platform::FreeSpace(UnrealMOD::GameFolder);
    setEnabled(true);
    ShowStatus();
}

void EntriesWindow::StartExamining() {
    if (table_->Model().Unexamined() > 0 && isEnabled())
        examiner_->start();
    ShowStatus();
}

void EntriesWindow::ExamineInSpareTime() {
    forms::EntriesModel& m = table_->Model();
    // A slice of about 30 ms, so typing and scrolling stay smooth meanwhile.
    QElapsedTimer slice;
    slice.start();
    while (m.Unexamined() > 0 && slice.elapsed() < 30)
        m.ExamineSome(64);
    if (m.Unexamined() == 0)
        examiner_->stop();
    table_->FactsChanged();
}

void EntriesWindow::ShowStatus() {
    Status->setText(Q(table_->Model().StatusLine(freeBytes_)));
    MoveChecked->setEnabled(table_->Model().CheckedCount() > 0);
}

std::vector<int> EntriesWindow::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : List->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void EntriesWindow::ToggleSelected() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty() && List->currentIndex().isValid())
        rows.push_back(List->currentIndex().row());
    for (const int s : rows) {
        const QModelIndex cell = table_->index(s, 0);
        const bool checked = table_->Model().Checked(s);
        table_->setData(cell, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
}

bool EntriesWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            ToggleSelected();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void EntriesWindow::MoveChecked_Click() {
    forms::EntriesModel& m = table_->Model();
    if (m.CheckedCount() == 0)
        return;
    const UnrealMOD::RowChoice choice = m.Choice(main_.RowCount()); // examines every row
    leftUnchecked_ = m.LeftUnchecked();
    main_.RunTransfer(&choice);
}

std::vector<std::string> EntriesWindow::ContextItems() const {
    for (const int s : SelectedRows())
        if (table_->Model().At(s).Conflict())
            return {forms::KeepInstalledItem, forms::InstallCachedItem};
    return {};
}

void EntriesWindow::ShowContextMenu(const QPoint& at) {
    const QModelIndex index = List->indexAt(at);
    if (index.isValid() && !List->selectionModel()->isRowSelected(index.row(), {}))
        List->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
    if (ContextItems().empty())
        return;
    QMenu menu(this);
    QAction* keep = menu.addAction(QString::fromUtf8(forms::KeepInstalledItem));
    QAction* install = menu.addAction(QString::fromUtf8(forms::InstallCachedItem));
    menu.setDefaultAction(keep); // the choice that changes nothing
    if (menu.exec(List->viewport()->mapToGlobal(at)) != install)
        return;
    std::vector<int> conflicts;
    for (const int s : SelectedRows())
        if (table_->Model().At(s).Conflict())
            conflicts.push_back(s);
    InstallCached(conflicts);
}

void EntriesWindow::InstallCached(const std::vector<int>& shownRows) {
    std::vector<std::pair<std::string, std::string>> chosen; // cache name, file name
    for (const int s : shownRows) {
        const UnrealMOD::EntryView& entry = table_->Model().At(s);
        if (entry.Conflict())
            chosen.emplace_back(entry.cacheName, entry.fileName);
    }
    if (chosen.empty())
        return;
    Freeze();
    std::set<std::string> problems;
    for (const auto& [cacheName, fileName] : chosen) {
        // Each install reads the catalogue again: the row is found afresh every time.
        int row = -1;
        for (int r = 0; r < main_.RowCount() && row < 0; ++r) {
            const UnrealMOD::CatalogueRow cr = main_.Row(r);
            if (cr.cacheName == cacheName && cr.fileName == fileName)
                row = r;
        }
        if (row < 0)
            continue;
        const UnrealMOD::ReplaceOutcome outcome = UnrealMOD::InstallCachedVersion(main_, row);
        if (!outcome.problem.empty())
            problems.insert(outcome.problem);
    }
    Reload();
    if (!problems.empty()) {
        std::string text;
        for (const std::string& problem : problems)
            text += (text.empty() ? "" : "\n\n") + problem;
        QMessageBox::warning(this, windowTitle(), Q(text));
    }
}

void EntriesWindow::Refresh() {
    main_.RereadCatalogue();
}

} // namespace ui
