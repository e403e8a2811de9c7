#include "ui/MainForm.h"

#include "catalogue/CacheIndex.h"
#include "forms/Bitmap.h"
#include "forms/Definitions.h"
#include "forms/EntriesLogic.h"
#include "forms/MainFormLogic.h"
#include "platform/FileSystem.h"
#include "runtime/PlayCue.h"
#include "ui/CatalogueList.h"
#include "ui/Controls.h"
#include "ui/EntriesWindow.h"
#include "ui/FreakyForm.h"
#include "ui/Twips.h"
#include "ui/WidgetStyle.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionFrame>

#include <cmath>
#include <cstdint>
#include <cstring>

// The artwork is compiled into the user-interface library; a static library's resources must be
// registered by hand (and from outside any namespace).
static void RegisterArtwork() {
    Q_INIT_RESOURCE(artwork);
}

namespace ui {

namespace {

// Every digit of a count up to 99,999 and the whole word "Error" show in a count box: where the
// face is too wide for them (its bold digits are), the same face is narrowed just enough.
void FitCountBox(QLineEdit* box) {
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box);
    // A line edit keeps two pixels a side inside its contents.
    const int room =
        box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box).width() - 4;
    QFont font = box->font();
    for (int stretch = 100; stretch >= 50; stretch -= 2) {
        font.setStretch(stretch);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const char* sample : forms::CountBoxSamples)
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(sample)));
        if (widest <= room)
            break;
    }
    box->setFont(font);
}

// The decoded logo as Qt draws it: the same pixels the Windows program shows.
QImage ToImage(const forms::Picture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(image.scanLine(y),
                    picture.pixels.data() + static_cast<std::size_t>(y) * picture.width,
                    static_cast<std::size_t>(picture.width) * sizeof(std::uint32_t));
    return image;
}

// The faces the window asks for are Windows faces; map them onto what a Linux desktop has,
// keeping the size and weight that were asked for.
void InsertFontSubstitutions() {
    static const bool done = [] {
        for (const char* face : {"MS Sans Serif", "MS Serif", "Myriad Roman"}) {
            QStringList standIns;
            for (const char* standIn : forms::StandInFaces(face))
                standIns.append(QString::fromLatin1(standIn));
            QFont::insertSubstitutions(QString::fromLatin1(face), standIns);
        }
        return true;
    }();
    (void)done;
}

const forms::Control& Def(const char* name, int index = -1) {
    return *forms::Find(forms::MainFormDefinition(), name, index);
}

QColor ToQColor(const forms::Rgb& c) {
    return QColor(c.r, c.g, c.b);
}

// Font, colours and visibility as the definition gives them.
void ApplyLook(QWidget* w, const forms::Control& d, QPalette::ColorRole backRole,
               QPalette::ColorRole foreRole, QFont::StyleHint hint) {
    if (d.font)
        w->setFont(PlainFont(d.font->face, d.font->points, d.font->bold, hint));
    if (d.back)
        SetColour(w, backRole, ToQColor(*d.back));
    if (d.fore)
        SetColour(w, foreRole, ToQColor(*d.fore));
    if (!d.visible)
        w->hide();
}

QLabel* MakeLabel(QWidget* parent, const forms::Control& d) {
    auto* label = new QLabel(QString::fromUtf8(d.caption), parent);
    label->setObjectName(QString::fromLatin1(d.name));
    const Qt::Alignment align = d.align == forms::Align::Right    ? Qt::AlignRight
                                : d.align == forms::Align::Centre ? Qt::AlignHCenter
                                                                  : Qt::AlignLeft;
    label->setAlignment(align | Qt::AlignTop);
    label->setWordWrap(true);
    label->setFocusPolicy(Qt::NoFocus);
    label->setAutoFillBackground(d.opaque);
    ApplyLook(label, d, QPalette::Window, QPalette::WindowText, QFont::SansSerif);
    SetTwips(label, d.rect);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const forms::Control& d) {
    // Never the default button: Return presses it only while it has the focus.
    auto* button = new CommandButton(QString::fromUtf8(d.caption), parent);
    button->setObjectName(QString::fromLatin1(d.name));
    ApplyLook(button, d, QPalette::Button, QPalette::ButtonText, QFont::SansSerif);
    SetTwips(button, d.rect);
    return button;
}

QLineEdit* MakeCountBox(QWidget* parent, const forms::Control& d) {
    auto* box = new QLineEdit(QString::fromUtf8(d.caption), parent);
    box->setObjectName(QString::fromLatin1(d.name));
    ApplyLook(box, d, QPalette::Base, QPalette::Text, QFont::SansSerif);
    SetTwips(box, d.rect);
    return box;
}

CatalogueList* MakeList(QWidget* parent, const forms::Control& d,
                        const UnrealMOD::CatalogueStore& store, UnrealMOD::CatalogueColumn column) {
    auto* list = new CatalogueList(store, column, parent);
    list->setObjectName(QString::fromLatin1(d.name));
    ApplyLook(list, d, QPalette::Base, QPalette::Text, QFont::Serif);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true); // the catalogue can hold a great many rows
    SetTwips(list, d.rect);
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

} // namespace

// ---------------------------------------------------------------------------------------------

// The inside of a picture box: shows the picture and reports its own mouse moves as the box's.
class PictureBox::InsideArea : public QWidget {
public:
    explicit InsideArea(PictureBox* box) : QWidget(box), box_(box) {
        setObjectName(QStringLiteral("Picture1Inside"));
        setMouseTracking(true);
        setFocusPolicy(Qt::NoFocus); // a click here gives the focus to the box
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (box_->picture_.isNull())
            return;
        QPainter painter(this);
        // On a scaled display the logo is stretched to its size there: smoothly, not in blocks.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(0, 0, box_->picture_);
    }
    void mouseMoveEvent(QMouseEvent* event) override { box_->mouseMoveEvent(event); }

private:
    PictureBox* box_;
};

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // the single sunken border of a picture box
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // moves without a button are reported too, as with any control
    inside_ = new InsideArea(this);
    inside_->setGeometry(contentsRect());
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    inside_->setGeometry(contentsRect());
}

void PictureBox::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    const QSizeF size = picture.deviceIndependentSize();
    const int border = 2 * frameWidth();
    TwipsRect r = Twips(this);
    r.width = PixelsToTwips(int(std::ceil(size.width())) + border);
    r.height = PixelsToTwips(int(std::ceil(size.height())) + border);
    SetTwips(this, r);
    inside_->update();
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
    const forms::Form& form = forms::MainFormDefinition();
    setWindowTitle(QString::fromUtf8(form.title));
    setWindowIcon(QIcon(QStringLiteral(":/artwork/Lodestow.ico")));
    setFont(PlainFont(form.font.face, form.font.points, form.font.bold, QFont::SansSerif));
    SetTwips(this, form.rect);
    CreateControls();
    progLbl_ = ProgLbl->text();
}

MainForm::~MainForm() {
    delete entries_.data();
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void MainForm::CreateControls() {
    // The catalogue: a frame behind the picture box, so none of it is ever seen.
    const forms::Control& adv = Def("AdvFrame");
    AdvFrame = new QGroupBox(QString::fromUtf8(adv.caption), this);
    AdvFrame->setObjectName(QStringLiteral("AdvFrame"));
    AdvFrame->setFocusPolicy(Qt::NoFocus);
    SetTwips(AdvFrame, adv.rect);

    FileNameList =
        MakeList(AdvFrame, Def("FileNameList"), store_, UnrealMOD::CatalogueColumn::FileName);
    CacheNameList =
        MakeList(AdvFrame, Def("CacheNameList"), store_, UnrealMOD::CatalogueColumn::CacheName);
    DestinationList =
        MakeList(AdvFrame, Def("DestinationList"), store_, UnrealMOD::CatalogueColumn::Destination);
    Copied = MakeList(AdvFrame, Def("Copied"), store_, UnrealMOD::CatalogueColumn::Copied);
    for (int i = 0; i < 4; ++i) {
        Label3[i] = MakeLabel(AdvFrame, Def("Label3", i));
        Label3[i]->setProperty("index", i);
    }

    // The face of the window.
    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    SetTwips(Picture1, Def("Picture1").rect);
    QWidget* inside = Picture1->Inside();

    Label1 = MakeLabel(inside, Def("Label1"));
    NumFilesTxt = MakeCountBox(inside, Def("NumFilesTxt"));
    Label2 = MakeLabel(inside, Def("Label2"));
    OnesToTransfer = MakeCountBox(inside, Def("OnesToTransfer"));
    Runit = MakeButton(inside, Def("Runit"));
    NoFiles = MakeLabel(inside, Def("NoFiles"));
    ExitProg = MakeButton(inside, Def("ExitProg"));

    const forms::Control& tran = Def("TranFrame");
    TranFrame = new QFrame(inside);
    TranFrame->setObjectName(QStringLiteral("TranFrame"));
    TranFrame->setFrameShape(QFrame::NoFrame); // no border, so its caption "Frame1" never shows
    TranFrame->setAccessibleName(QString::fromUtf8(tran.caption));
    TranFrame->setAutoFillBackground(true);
    SetColour(TranFrame, QPalette::Window, ToQColor(*tran.back));
    SetTwips(TranFrame, tran.rect);

    const forms::Control& tran1 = Def("TranFrame1");
    TranFrame1 = new QGroupBox(QString::fromUtf8(tran1.caption), TranFrame);
    TranFrame1->setObjectName(QStringLiteral("TranFrame1"));
    TranFrame1->setFocusPolicy(Qt::NoFocus);
    TranFrame1->setAutoFillBackground(true);
    SetColour(TranFrame1, QPalette::Window, ToQColor(*tran1.back));
    SetColour(TranFrame1, QPalette::WindowText, ToQColor(*tran1.fore));
    SetTwips(TranFrame1, tran1.rect);

    TranProg = new QProgressBar(TranFrame1);
    TranProg->setObjectName(QStringLiteral("TranProg"));
    TranProg->setTextVisible(false);
    TranProg->setOrientation(Qt::Horizontal);
    SetTwips(TranProg, Def("TranProg").rect);
    ApplyProgress();

    ProgLbl = MakeLabel(TranFrame1, Def("ProgLbl"));
    if (!tran.visible)
        TranFrame->hide();

    EndProg = MakeButton(inside, Def("EndProg"));

    Image1 = new QLabel(inside);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/artwork/Banner.bmp")));
    Image1->setScaledContents(true);
    Image1->setFocusPolicy(Qt::NoFocus);
    SetTwips(Image1, Def("Image1").rect);

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
    for (QObject* child : inside->children())
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
    connect(FileNameList, &CatalogueList::currentRowChanged, this, &MainForm::FileNameList_Click);
    connect(CacheNameList, &CatalogueList::currentRowChanged, this, &MainForm::CacheNameList_Click);
    connect(DestinationList, &CatalogueList::currentRowChanged, this,
            &MainForm::DestinationList_Click);
    connect(Copied, &CatalogueList::currentRowChanged, this, &MainForm::Copied_Click);

    // The way to the entries window leaves the face of the window as it is: a tooltip, a double
    // click, the logo's own menu and F3.
    for (QLineEdit* box : {NumFilesTxt, OnesToTransfer}) {
        box->setToolTip(QString::fromUtf8(forms::CountBoxTip));
        box->installEventFilter(this);
        FitCountBox(box);
    }
    auto* f3 = new QShortcut(QKeySequence(QString::fromLatin1(forms::EntriesShortcut)), this);
    connect(f3, &QShortcut::activated, this, &MainForm::OpenEntries);
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
    if (const auto bytes = platform::ReadFileBytes(forms::LogoPath()))
        if (const auto picture = forms::DecodeBitmap(*bytes))
            Picture1->SetPicture(QPixmap::fromImage(ToImage(*picture)));
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
    RunTransfer(nullptr);
}

void MainForm::RunTransfer(const UnrealMOD::RowChoice* chosen) {
    // The run reads the catalogue again: the entries window reads nothing from it meanwhile.
    std::vector<UnrealMOD::EntryView> before;
    if (entries_) {
        before = entries_->Table().Model().Entries();
        entries_->Freeze();
        raise(); // the bar and the label in sight
    }
    runStarted_ = false;
    UnrealMOD::RunitClick(*this, *this, chosen);
    if (!entries_)
        return;
    if (runStarted_)
        entries_->ShowRun(before);
    else
        entries_->Thaw(); // refused (the game runs): nothing changed
}

void MainForm::RereadCatalogue() {
    if (entries_)
        entries_->Freeze();
    UnrealMOD::ReadCacheIndex(*this);
    if (entries_)
        entries_->Reload();
}

EntriesWindow* MainForm::Entries() const {
    return entries_;
}

void MainForm::OpenEntries() {
    if (!isEnabled())
        return; // a run is in progress
    if (!entries_) {
        entries_ = new EntriesWindow(*this);
        entries_->setAttribute(Qt::WA_DeleteOnClose);
        entries_->Reload();
    }
    entries_->Bring();
}

void MainForm::contextMenuEvent(QContextMenuEvent* event) {
    // Right-clicks anywhere on the logo (and on the controls on it that have no menu of their own)
    // arrive here.
    QMenu menu(this);
    QAction* open = menu.addAction(QString::fromUtf8(forms::EntriesMenuItem));
    if (menu.exec(event->globalPos()) == open)
        OpenEntries();
    event->accept();
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        (watched == NumFilesTxt || watched == OnesToTransfer)) {
        // After the box has had its double-click (it selects its text, as before).
        QMetaObject::invokeMethod(this, &MainForm::OpenEntries, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void MainForm::EndProg_Click() {
    hide();
    PlayCue(UnrealMOD::CuePath(forms::EndProgCue));
    Unload();
}

void MainForm::ExitProg_Click() {
    PlayCue(UnrealMOD::CuePath(forms::ExitProgCue));
    Unload();
}

void MainForm::FileNameList_Click() {
    CarrySelection(forms::CatalogueList::FileNameList);
}

void MainForm::CacheNameList_Click() {
    CarrySelection(forms::CatalogueList::CacheNameList);
}

void MainForm::DestinationList_Click() {
    CarrySelection(forms::CatalogueList::DestinationList);
}

void MainForm::Copied_Click() {
    CarrySelection(forms::CatalogueList::Copied);
}

CatalogueList* MainForm::List(forms::CatalogueList list) const {
    switch (list) {
    case forms::CatalogueList::FileNameList:
        return FileNameList;
    case forms::CatalogueList::CacheNameList:
        return CacheNameList;
    case forms::CatalogueList::DestinationList:
        return DestinationList;
    case forms::CatalogueList::Copied:
        return Copied;
    }
    return nullptr;
}

void MainForm::CarrySelection(forms::CatalogueList changed) {
    // The source's row is read afresh before each assignment. Lists out of step (a row the
    // target does not have) leave the target as it is.
    for (const forms::CatalogueList target : forms::SelectionTargets(changed)) {
        const int row = List(changed)->currentRow();
        if (row < List(target)->count())
            List(target)->setCurrentRow(row);
    }
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
    if (entries_)
        entries_->close(); // it goes with the main window
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

std::array<CatalogueList*, 4> MainForm::Lists() const {
    return {FileNameList, CacheNameList, DestinationList, Copied};
}

void MainForm::Clear() {
    for (CatalogueList* list : Lists())
        list->Column()->BeginReset();
    store_.Clear();
    for (CatalogueList* list : Lists())
        list->Column()->EndReset();
}

void MainForm::AppendRows(const std::vector<UnrealMOD::CatalogueRow>& rows) {
    if (rows.empty())
        return;
    for (CatalogueList* list : Lists())
        list->Column()->BeginAppend(int(rows.size()));
    for (const auto& row : rows)
        store_.Append(row);
    for (CatalogueList* list : Lists())
        list->Column()->EndAppend();
}

int MainForm::RowCount() const {
    return store_.Rows();
}

UnrealMOD::CatalogueRow MainForm::Row(int r) const {
    return store_.Row(r);
}

void MainForm::SetCopied(int r, const std::string& state) {
    // The lists lie behind the logo and are never seen, and a view told of a changed row would
    // lay out the whole list again at the next event processing: once per moved file, a run
    // through the window would grow with the square of the catalogue. The list reads the new
    // mark from the store whenever it next draws the row.
    store_.SetCopied(r, state);
}

void MainForm::SetNumFilesText(const std::string& text) {
    SetTextBoxText(NumFilesTxt, Q(text));
    NumFilesTxt->setToolTip(Q(forms::CountTip(text)));
}
void MainForm::SetOnesToTransferText(const std::string& text) {
    SetTextBoxText(OnesToTransfer, Q(text));
    OnesToTransfer->setToolTip(Q(forms::CountTip(text)));
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
    runStarted_ = true;
    TranFrame->show();
}
void MainForm::SetProgLbl(const std::string& caption) {
    progLbl_ = Q(caption);
    ShowProgress();
}
void MainForm::SetWindowEnabled(bool enabled) {
    setEnabled(enabled);
    ShowProgress();
}

// While a run walks the rows (the window disabled), the bar and the label are brought up to date
// at most every 40 ms: repainting them for every row would cost more than moving the file. The
// events processed at the fixed points then have at most one repaint to do.
void MainForm::ShowProgress() {
    if (!isEnabled() && shown_.isValid() && shown_.elapsed() < 40)
        return;
    shown_.start();
    if (ProgLbl->text() != progLbl_)
        ProgLbl->setText(progLbl_);
    ApplyProgress();
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
    ShowProgress();
}

void MainForm::SetProgMin(float value) {
    progMin_ = value;
    ShowProgress();
}

void MainForm::SetProgValue(float value) {
    progValue_ = value;
    ShowProgress();
}

void MainForm::ApplyProgress() {
    const forms::WholeProgress p = forms::ToWholeProgress(progMin_, progMax_, progValue_);
    TranProg->setRange(p.min, p.max);
    TranProg->setValue(p.value);
}

void MainForm::ShowEndProg() {
    EndProg->show();
}

void MainForm::ShowProblem(const std::string& message) {
    QMessageBox::warning(this, QStringLiteral("Lodestow"), Q(message));
}

} // namespace ui
