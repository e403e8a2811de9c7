#include "ui/MainForm.h"

#include "catalogue/CacheIndex.h"
#include "platform/FileSystem.h"
#include "startup/Globals.h"
#include "startup/PlayCue.h"
#include "ui/FreakyForm.h"
#include "ui/Twips.h"
#include "ui/WidgetStyle.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>

#include <cmath>

// The artwork is compiled into the user-interface library; a static library's resources must be
// registered by hand (and from outside any namespace).
static void RegisterArtwork() {
    Q_INIT_RESOURCE(artwork);
}

namespace ui {

namespace {

const QColor Black(0, 0, 0);
const QColor Yellow(255, 255, 0);
const QColor Green(0, 255, 0);

// The faces the window asks for are Windows faces; map them onto what a Linux desktop has,
// keeping the size and weight that were asked for.
void InsertFontSubstitutions() {
    static const bool done = [] {
        // Narrow faces first: the labels were sized for a face about as wide as these, and
        // their captions wrap inside fixed boxes.
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("DejaVu Sans Condensed"),
                                    QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("DejaVu Sans")});
        QFont::insertSubstitutions(QStringLiteral("MS Serif"),
                                   {QStringLiteral("DejaVu Serif Condensed"),
                                    QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"),
                                    QStringLiteral("DejaVu Serif")});
        QFont::insertSubstitutions(
            QStringLiteral("Myriad Roman"),
            {QStringLiteral("Myriad Pro"), QStringLiteral("DejaVu Sans Condensed"),
             QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    (void)done;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, Qt::Alignment align,
                  const TwipsRect& r) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(align | Qt::AlignTop);
    label->setWordWrap(true);
    label->setFocusPolicy(Qt::NoFocus);
    SetTwips(label, r);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption,
                        const TwipsRect& r) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setDefault(false);
    SetTwips(button, r);
    return button;
}

QLineEdit* MakeCountBox(QWidget* parent, const char* name, const TwipsRect& r) {
    auto* box = new QLineEdit(QStringLiteral("Error"), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(PlainFont("MS Sans Serif", 9.75, true, QFont::SansSerif));
    SetColour(box, QPalette::Base, Black);
    SetColour(box, QPalette::Text, Green);
    SetTwips(box, r);
    return box;
}

QListWidget* MakeList(QWidget* parent, const char* name, const TwipsRect& r) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setFont(PlainFont("MS Serif", 6, false, QFont::Serif));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    list->setUniformItemSizes(true); // the catalogue can hold a great many rows
    SetTwips(list, r);
    return list;
}

std::function<void(const std::string&)>& CuePlayer() {
    static std::function<void(const std::string&)> player;
    return player;
}

QString Q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
std::string S(const QString& text) {
    return text.toUtf8().toStdString();
}

// Selects the source's selected row in the target. Lists out of step (a row the target does
// not have) leave the target as it is.
void SelectSameRow(const QListWidget* source, QListWidget* target) {
    const int row = source->currentRow();
    if (row >= target->count())
        return;
    target->setCurrentRow(row);
}

} // namespace

// ---------------------------------------------------------------------------------------------

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // the single sunken border of a picture box
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // moves without a button are reported too, as with any control
}

void PictureBox::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    const QSizeF size = picture.deviceIndependentSize();
    const int border = 2 * frameWidth();
    TwipsRect r = Twips(this);
    r.width = PixelsToTwips(int(std::ceil(size.width())) + border);
    r.height = PixelsToTwips(int(std::ceil(size.height())) + border);
    SetTwips(this, r);
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.drawPixmap(contentsRect().topLeft(), picture_);
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    // The controls on the box keep their own mouse events (they stop propagation), so whatever
    // arrives here is a move over the box's own surface.
    if (onMouseMove)
        onMouseMove(event->buttons());
    event->accept();
}

// ---------------------------------------------------------------------------------------------

MainForm::MainForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    static const bool artwork = (RegisterArtwork(), true);
    (void)artwork;
    InsertFontSubstitutions();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Lodestow"));
    setWindowIcon(QIcon(QStringLiteral(":/artwork/Lodestow.ico")));
    setFont(PlainFont("MS Sans Serif", 8.25, false, QFont::SansSerif));
    SetTwips(this, {0, 0, 8010, 4665});
    CreateControls();
}

MainForm::~MainForm() {
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void MainForm::CreateControls() {
    // The catalogue: a frame behind the picture box, so none of it is ever seen.
    AdvFrame = new QGroupBox(QStringLiteral("Advanced"), this);
    AdvFrame->setObjectName(QStringLiteral("AdvFrame"));
    AdvFrame->setFocusPolicy(Qt::NoFocus);
    SetTwips(AdvFrame, {360, 1680, 1815, 855});

    FileNameList = MakeList(AdvFrame, "FileNameList", {240, 960, 1815, 2910});
    CacheNameList = MakeList(AdvFrame, "CacheNameList", {2160, 960, 2415, 2910});
    DestinationList = MakeList(AdvFrame, "DestinationList", {4680, 960, 1575, 2910});
    Copied = MakeList(AdvFrame, "Copied", {6360, 960, 975, 2910});
    const char* headings[4] = {"File Name", "Cache Name", "Directory", "Copied"};
    const TwipsRect headingRects[4] = {{240, 720, 2415, 255},
                                       {2160, 720, 2415, 255},
                                       {4680, 720, 2415, 255},
                                       {6360, 720, 735, 255}};
    for (int i = 0; i < 4; ++i) {
        Label3[i] = MakeLabel(AdvFrame, "Label3", headings[i], Qt::AlignLeft, headingRects[i]);
        Label3[i]->setProperty("index", i);
        Label3[i]->setFont(PlainFont("MS Sans Serif", 9.75, true, QFont::SansSerif));
        Label3[i]->setAutoFillBackground(true); // opaque, in the system's colours
    }

    // The face of the window.
    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    SetTwips(Picture1, {0, 0, 7335, 4095});

    Label1 = MakeLabel(Picture1, "Label1", "Files Found in Cache", Qt::AlignRight,
                       {120, 240, 1215, 495});
    NumFilesTxt = MakeCountBox(Picture1, "NumFilesTxt", {1440, 240, 615, 375});
    Label2 = MakeLabel(Picture1, "Label2", "Able to Transfer out of Cache", Qt::AlignRight,
                       {2880, 240, 1215, 375});
    OnesToTransfer = MakeCountBox(Picture1, "OnesToTransfer", {4320, 240, 615, 375});
    for (QLabel* label : {Label1, Label2})
        SetColour(label, QPalette::WindowText, Yellow);

    Runit = MakeButton(Picture1, "Runit", "Begin Transfer", {2880, 3720, 2535, 255});

    NoFiles = MakeLabel(Picture1, "NoFiles", "No Files available to transfer", Qt::AlignHCenter,
                        {1320, 3240, 5175, 375});
    NoFiles->setFont(PlainFont("MS Sans Serif", 12, true, QFont::SansSerif));
    SetColour(NoFiles, QPalette::WindowText, Yellow);
    NoFiles->hide();

    ExitProg = MakeButton(Picture1, "ExitProg", "X", {7080, 0, 255, 255});
    ExitProg->setFont(PlainFont("MS Sans Serif", 8.25, true, QFont::SansSerif));

    TranFrame = new QFrame(Picture1);
    TranFrame->setObjectName(QStringLiteral("TranFrame"));
    TranFrame->setFrameShape(QFrame::NoFrame); // no border, so its caption "Frame1" never shows
    TranFrame->setAccessibleName(QStringLiteral("Frame1"));
    TranFrame->setAutoFillBackground(true);
    SetColour(TranFrame, QPalette::Window, Black);
    SetTwips(TranFrame, {840, 1560, 5895, 1215});

    TranFrame1 = new QGroupBox(QStringLiteral("Transfer Status"), TranFrame);
    TranFrame1->setObjectName(QStringLiteral("TranFrame1"));
    TranFrame1->setFocusPolicy(Qt::NoFocus);
    TranFrame1->setAutoFillBackground(true);
    SetColour(TranFrame1, QPalette::Window, Black);
    SetColour(TranFrame1, QPalette::WindowText, Yellow);
    // The caption sits in the border line, as on an ordinary frame, not above the border.
    TranFrame1->setStyleSheet(QStringLiteral(
        "QGroupBox { background-color: black; border: 2px groove #808080; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0px 2px; color: yellow; background-color: black; }"));
    SetTwips(TranFrame1, {120, 120, 5655, 855});

    TranProg = new QProgressBar(TranFrame1);
    TranProg->setObjectName(QStringLiteral("TranProg"));
    TranProg->setTextVisible(false);
    TranProg->setOrientation(Qt::Horizontal);
    SetTwips(TranProg, {120, 480, 5415, 255});
    ApplyProgress();

    ProgLbl = MakeLabel(TranFrame1, "ProgLbl", "Status", Qt::AlignLeft, {360, 240, 4215, 255});
    SetColour(ProgLbl, QPalette::WindowText, Green);
    TranFrame->hide();

    EndProg = MakeButton(Picture1, "EndProg", "Exit", {3120, 2880, 1575, 375});
    EndProg->setFont(PlainFont("Myriad Roman", 12, false, QFont::SansSerif));
    EndProg->hide();

    Image1 = new QLabel(Picture1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/artwork/Banner.bmp")));
    Image1->setScaledContents(true);
    Image1->setFocusPolicy(Qt::NoFocus);
    SetTwips(Image1, {0, 0, 495, 3735});

    // Stacking, back to front within each container: windowless controls behind windowed ones.
    AdvFrame->lower();
    Picture1->raise();
    for (QLabel* label : Label3)
        label->raise(); // the higher index in front
    for (QWidget* w : {static_cast<QWidget*>(FileNameList), static_cast<QWidget*>(CacheNameList),
                       static_cast<QWidget*>(DestinationList), static_cast<QWidget*>(Copied)})
        w->raise();
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label1, Label2, NoFiles, Image1, NumFilesTxt,
                                         OnesToTransfer, Runit, ExitProg, TranFrame, EndProg})
        w->raise();
    ProgLbl->stackUnder(TranProg);

    // The controls on the picture box keep their mouse events to themselves: a move over one of
    // them is not a move over the box's own surface.
    for (QObject* child : Picture1->children())
        if (auto* w = qobject_cast<QWidget*>(child))
            w->setAttribute(Qt::WA_NoMousePropagation);

    // Keyboard order; labels and frames hold places in it but never take the focus.
    QWidget* order[] = {Picture1, FileNameList, CacheNameList,  DestinationList,
                        Copied,   NumFilesTxt,  OnesToTransfer, Runit,
                        ExitProg, TranProg,     EndProg};
    TranProg->setFocusPolicy(Qt::NoFocus);
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    Picture1->setFocus();

    Picture1->onMouseMove = [this](Qt::MouseButtons buttons) { Picture1_MouseMove(buttons); };
    connect(Runit, &QPushButton::clicked, this, &MainForm::Runit_Click);
    connect(EndProg, &QPushButton::clicked, this, &MainForm::EndProg_Click);
    connect(ExitProg, &QPushButton::clicked, this, &MainForm::ExitProg_Click);
    connect(FileNameList, &QListWidget::currentRowChanged, this, &MainForm::FileNameList_Click);
    connect(CacheNameList, &QListWidget::currentRowChanged, this, &MainForm::CacheNameList_Click);
    connect(DestinationList, &QListWidget::currentRowChanged, this,
            &MainForm::DestinationList_Click);
    connect(Copied, &QListWidget::currentRowChanged, this, &MainForm::Copied_Click);
}

// ---------------------------------------------------------------------------------------------
// Load and layout

bool MainForm::Form_Load() {
    if (UnrealMOD::RunStartupSequence(*this) != UnrealMOD::StartupOutcome::GameFound)
        return false;
    LayOut();
    return true;
}

void MainForm::LayOut() {
    // A logo that is missing or not a picture leaves Picture1 as designed; the placements run
    // all the same.
    const std::string logoPath = UnrealMOD::GameFolder + "Help\\UnrealTournamentLogo.bmp";
    if (const auto bytes = platform::ReadFileBytes(logoPath)) {
        QPixmap logo;
        if (logo.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                              static_cast<uint>(bytes->size())))
            Picture1->SetPicture(logo);
    }
    const TwipsRect picture = Twips(Picture1);
    ApplyLayoutValues(LayOutMainForm(LayoutValues(), picture.width, picture.height));
}

TwipsRect MainForm::FormTwips() const {
    return Twips(this);
}

MainLayoutValues MainForm::LayoutValues() const {
    return {Twips(this),           Twips(TranFrame), Twips(Runit),  Twips(NoFiles),
            Twips(OnesToTransfer), Twips(Label2),    Twips(Label1), Twips(NumFilesTxt),
            Twips(ExitProg),       Twips(Image1),    Twips(EndProg)};
}

void MainForm::ApplyLayoutValues(const MainLayoutValues& v) {
    SetTwips(this, v.window);
    SetTwips(TranFrame, v.tranFrame);
    SetTwips(Runit, v.runit);
    SetTwips(NoFiles, v.noFiles);
    SetTwips(OnesToTransfer, v.onesToTransfer);
    SetTwips(Label2, v.label2);
    SetTwips(Label1, v.label1);
    SetTwips(NumFilesTxt, v.numFilesTxt);
    SetTwips(ExitProg, v.exitProg);
    SetTwips(Image1, v.image1);
    SetTwips(EndProg, v.endProg);
}

// ---------------------------------------------------------------------------------------------
// Handlers

void MainForm::Runit_Click() {
    UnrealMOD::RunitClick(*this, *this);
}

void MainForm::EndProg_Click() {
    hide();
    PlayCue(UnrealMOD::CuePath("\\TazerFire.wav"));
    Unload();
}

void MainForm::ExitProg_Click() {
    PlayCue(UnrealMOD::CuePath("\\unstoppable.wav"));
    Unload();
}

void MainForm::FileNameList_Click() {
    SelectSameRow(FileNameList, CacheNameList);
    SelectSameRow(FileNameList, DestinationList);
}

void MainForm::CacheNameList_Click() {
    SelectSameRow(CacheNameList, FileNameList);
    SelectSameRow(CacheNameList, DestinationList);
    SelectSameRow(CacheNameList, Copied);
}

void MainForm::DestinationList_Click() {
    SelectSameRow(DestinationList, CacheNameList);
    SelectSameRow(DestinationList, FileNameList);
    SelectSameRow(DestinationList, Copied);
}

void MainForm::Copied_Click() {
    SelectSameRow(Copied, FileNameList);
    SelectSameRow(Copied, DestinationList);
    SelectSameRow(Copied, CacheNameList);
}

void MainForm::Picture1_MouseMove(Qt::MouseButtons buttons) {
    FreakyForm::DragForm(this, FreakyForm::ButtonState(buttons));
}

void MainForm::PlayCue(const std::string& path) {
    if (const auto& player = CuePlayer())
        player(path);
    else
        UnrealMOD::PlayCue(path);
}

void MainForm::SetCuePlayerForTesting(std::function<void(const std::string&)> player) {
    CuePlayer() = std::move(player);
}

void MainForm::Unload() {
    close();
    deleteLater();
    ui::QuitIfNoWindowLeft();
}

void MainForm::closeEvent(QCloseEvent* event) {
    // While a transfer runs the window is disabled; it is not closed under the transfer's feet.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    // A close from outside (the window manager) ends the program as the close buttons do.
    QMetaObject::invokeMethod(
        qApp, [] { ui::QuitIfNoWindowLeft(); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// MainFormHost

void MainForm::OpenLocationWindow() {
    ui::LoadFindUnreal();
}
void MainForm::DisableRunit() {
    Runit->setEnabled(false);
}
void MainForm::ShowNoFiles() {
    NoFiles->show();
}

// ---------------------------------------------------------------------------------------------
// CatalogueColumns

void MainForm::Clear() {
    for (QListWidget* list : {FileNameList, CacheNameList, DestinationList, Copied})
        list->clear();
}

void MainForm::AppendRows(const std::vector<UnrealMOD::CatalogueRow>& rows) {
    QStringList names, caches, destinations, copied;
    for (QStringList* column : {&names, &caches, &destinations, &copied})
        column->reserve(qsizetype(rows.size()));
    for (const auto& row : rows) {
        names.append(Q(row.fileName));
        caches.append(Q(row.cacheName));
        destinations.append(Q(row.destination));
        copied.append(Q(row.copied));
    }
    AdvFrame->setUpdatesEnabled(false);
    FileNameList->addItems(names);
    CacheNameList->addItems(caches);
    DestinationList->addItems(destinations);
    Copied->addItems(copied);
    AdvFrame->setUpdatesEnabled(true);
}

int MainForm::RowCount() const {
    return FileNameList->count();
}

UnrealMOD::CatalogueRow MainForm::Row(int r) const {
    const auto text = [r](const QListWidget* list) {
        const QListWidgetItem* item = list->item(r);
        return item ? S(item->text()) : std::string();
    };
    return {text(FileNameList), text(CacheNameList), text(DestinationList), text(Copied)};
}

void MainForm::SetCopied(int r, const std::string& state) {
    if (QListWidgetItem* item = Copied->item(r))
        item->setText(Q(state));
}

void MainForm::SetNumFilesText(const std::string& text) {
    NumFilesTxt->setText(Q(text));
}
void MainForm::SetOnesToTransferText(const std::string& text) {
    OnesToTransfer->setText(Q(text));
}
std::string MainForm::NumFilesText() const {
    return S(NumFilesTxt->text());
}
std::string MainForm::OnesToTransferText() const {
    return S(OnesToTransfer->text());
}

// ---------------------------------------------------------------------------------------------
// TransferView

void MainForm::ShowTranFrame() {
    TranFrame->show();
}
void MainForm::SetProgLbl(const std::string& caption) {
    ProgLbl->setText(Q(caption));
}
void MainForm::SetWindowEnabled(bool enabled) {
    setEnabled(enabled);
}

void MainForm::SetBusyPointer(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainForm::SetProgMax(float value) {
    progMax_ = value;
    ApplyProgress();
}

void MainForm::SetProgMin(float value) {
    progMin_ = value;
    ApplyProgress();
}

void MainForm::SetProgValue(float value) {
    progValue_ = value;
    ApplyProgress();
}

void MainForm::ApplyProgress() {
    // The bar works in whole numbers; the exact values are held here.
    const auto whole = [](float v) {
        if (!std::isfinite(v))
            return 0;
        const double clamped = std::clamp(double(v), -2147483647.0, 2147483647.0);
        return int(std::lround(clamped));
    };
    const int lo = whole(progMin_);
    const int hi = std::max(lo, whole(progMax_));
    TranProg->setRange(lo, hi);
    TranProg->setValue(std::clamp(whole(progValue_), lo, hi));
}

void MainForm::ShowEndProg() {
    EndProg->show();
}

void MainForm::ShowProblem(const std::string& message) {
    QMessageBox::warning(this, QStringLiteral("Lodestow"), Q(message));
}

} // namespace ui
