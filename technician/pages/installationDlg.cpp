#include "technician/pages/installationDlg.h"

#include "technician/reports/parameterListReport.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "link/qvrClientSocket.h"
#include "machine/dzTableUpParamHandle.h"
#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/messageBox.h"
#include "machine/normalParamHandle.h"
#include "machine/programUtils.h"
#include "machine/qvrCommDev.h"
#include "machine/units.h"
#include "machine/wstr.h"
#include "platform/qt/colorref.h"
#include "platform/qt/dlgItem.h"
#include "platform/qt/fileDialogHook.h"
#include "platform/winConstants.h"
#include "technician/pageKeys.h"
#include "technician/pages/parameterComparison.h"
#include "technician/pages/parameterEditCommit.h"
#include "technician/pages/parameterListContents.h"
#include "technician/pages/versionTexts.h"
#include "technician/reports/parameterListReport.h"
#include "technician/tovrikApp.h"
#include "ui_installationDlg.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <array>

namespace {

// The tool whose "DZ Table Up" the list always shows: the trim knife.
constexpr int listedTool = 9;

constexpr COLORREF cellBackground = 0xffffff;
constexpr COLORREF nameText = 0x800000;
constexpr COLORREF otherText = 0x000000;
constexpr COLORREF changedValueBackground = 0x96f5f5;
constexpr COLORREF factoryBackground = 0xf0f0f0;
constexpr COLORREF limitsBackground = 0xe0e0e0;

constexpr wchar_t parametersFilter[] = L"Parameters Files (*.TXT)|*.TXT|All Files (*.*)|*.*||";
constexpr wchar_t restoreQuestion[] = L"This operation will restore the values of the listed parameters. ARE YOU SURE?";

// Control ids of the template.
namespace id {
constexpr int machineId = 1006;
constexpr int hardware = 1007;
constexpr int firmware = 1008;
constexpr int driver = 1009;
constexpr int software = 1012;
constexpr int buildTime = 1013;
constexpr int compareNote = 1116;
constexpr int installGroup = 1053;
constexpr int parametersGroup = 1054;
}  // namespace id

std::wstring withBackslashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

}  // namespace

installationDlg_t::installationDlg_t(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::installationDlgTemplate>())
{
    ui_->setupUi(this);
    // The program's own version, as it announces itself to the server.
    softwareText_ = versionToText(qvrClientSocket_t::clientVersion);
    onInitDialog();
}

installationDlg_t::~installationDlg_t() = default;

QTreeWidget* installationDlg_t::list() const
{
    return ui_->parameterList;
}

QLineEdit* installationDlg_t::editor() const
{
    return ui_->valueEditor;
}

void installationDlg_t::onInitDialog()
{
    for (const int control : {id::firmware, id::hardware, id::driver, id::software, id::buildTime, id::machineId,
                              id::installGroup, id::parametersGroup})
        tovrikApp().setBoldFont(this, control);
    // Only a group's title is bold; what it holds keeps the page's weight
    // (set explicitly, or it would inherit the group's).
    QFont normal = font();
    normal.setWeight(QFont::Normal);
    for (QWidget* group : {ui_->installGroup, ui_->parametersGroup})
        for (QWidget* child : group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            child->setFont(normal);

    QTreeWidget* view = ui_->parameterList;
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsMovable(false);
    // Room for the scroll bar is kept, so the columns never outgrow the list.
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setColumnWidths();
    view->viewport()->installEventFilter(this);
    ui_->valueEditor->installEventFilter(this);

    connect(ui_->valueEditor, &QLineEdit::returnPressed, this, &installationDlg_t::commitEditedValue);
    connect(ui_->restoreFactory, &QPushButton::clicked, this, &installationDlg_t::onRestoreFactory);
    connect(ui_->saveParameters, &QPushButton::clicked, this, &installationDlg_t::onSaveParameters);
    connect(ui_->updateParameters, &QPushButton::clicked, this, &installationDlg_t::onUpdateMachineParameters);
    connect(ui_->installFirmware, &QPushButton::clicked, this, &installationDlg_t::onInstallFirmware);
    connect(ui_->compareParameters, &QPushButton::clicked, this, &installationDlg_t::onCompare);
    connect(ui_->printParameters, &QPushButton::clicked, this, &installationDlg_t::onPrintParameters);
    // "Install Bios..." has no action.
    updateData();
}

void installationDlg_t::setColumnWidths()
{
    QTreeWidget* view = ui_->parameterList;
    const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    const int width = view->width() - 2 * view->frameWidth() - scrollBar;
    const int w = width / 6;
    view->setColumnWidth(nameColumn, width - 4 * w);
    for (const int column : {valueColumn, factoryColumn, minColumn, maxColumn})
        view->setColumnWidth(column, w);
}

void installationDlg_t::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    closeEditor();
}

void installationDlg_t::updateData()
{
    const std::array<std::pair<int, const std::wstring*>, 7> texts = {{
        {id::firmware, &firmwareText_},
        {id::hardware, &hardwareText_},
        {id::driver, &driverText_},
        {id::machineId, &machineIdText_},
        {id::compareNote, &hiddenText_},
        {id::software, &softwareText_},
        {id::buildTime, &buildTimeText_},
    }};
    for (const auto& [control, text] : texts)
        setWindowText(dlgItem(this, control), *text);
}

void installationDlg_t::onPrintParameters()
{
    qvrCommDev_t* device = control_.getDevice();
    if (device == nullptr)
        return;
    const int machineNumber = static_cast<int>(device->getStatus().machineID());
    printParameterList(this, machineNumber, parameterRows());
}

// --- versions -------------------------------------------------------------------

void installationDlg_t::showMachineID()
{
    qvrCommDev_t* device = control_.getDevice();
    if (device == nullptr)
        return;
    machineIdText_ = toStr(static_cast<std::int32_t>(device->getMachineID()));
    setWindowText(dlgItem(this, id::machineId), machineIdText_);
}

void installationDlg_t::showVersions()
{
    qvrCommDev_t* device = control_.getDevice();
    if (device == nullptr)
        return;
    const machineInfo_t info = device->getMachineInfo();
    firmwareText_ = firmwareVersionText(info.embeddedVersion());
    hardwareText_ = hardwareRevisionText(info.hardwareRevision());
    if (qvrClientDev_t* client = getCurrentClientDevice(); client != nullptr && client == device)
        driverText_ = driverVersionText(client->getServerVersion());
    buildTimeText_ = buildTimeText(info.runningMinutes());
    updateData();
}

// --- the list ---------------------------------------------------------------------

void installationDlg_t::fillParameterList()
{
    // The rows the editor points into go away.
    closeEditor();
    ++listGeneration_;
    ui_->parameterList->clear();
    rows_.clear();
    qvrCommDev_t* device = control_.getDevice();
    const std::uint16_t version = device != nullptr ? device->getMachineInfo().embeddedVersion() : 0;
    const std::wstring openedPath = device != nullptr ? device->getOpenedParamsPath() : std::wstring();
    for (const machineParam_t* param : listedParametersOf(version, openedPath))
        addParameterRow(std::make_unique<normalParamHandle_t>(&control_, param));
    addParameterRow(std::make_unique<dzTableUpParamHandle_t>(&control_, listedTool));
}

void installationDlg_t::addParameterRow(std::unique_ptr<baseParamHandle_t> handle)
{
    for (const auto& row : rows_)
        if (row->hasSameName(*handle))
            return;
    auto* item = new QTreeWidgetItem(ui_->parameterList);
    item->setText(nameColumn, QString::fromStdWString(handle->name()));
    item->setText(factoryColumn, QString::fromStdWString(handle->formatFactoryValue()));
    if (const auto limits = parameterLimits(handle->name())) {
        item->setText(minColumn, QString::fromStdWString(limits->first));
        item->setText(maxColumn, QString::fromStdWString(limits->second));
    }
    // The info tip: what the parameter is.
    const QString tip = QString::fromStdWString(handle->description());
    for (int column = nameColumn; column <= maxColumn; ++column)
        item->setToolTip(column, tip);
    rows_.push_back(std::move(handle));
    paintRow(static_cast<int>(rows_.size()) - 1);
}

void installationDlg_t::paintRow(int row)
{
    QTreeWidgetItem* item = ui_->parameterList->topLevelItem(row);
    if (item == nullptr || row < 0 || row >= rowCount())
        return;
    const baseParamHandle_t& handle = *rows_[static_cast<std::size_t>(row)];
    const bool changed = handle.isChanged(handle.valueFrom(nullptr, L""), handle.factoryValue());
    for (int column = nameColumn; column <= maxColumn; ++column) {
        COLORREF background = cellBackground;
        if (column == valueColumn && changed)
            background = changedValueBackground;
        else if (column == factoryColumn)
            background = factoryBackground;
        else if (column == minColumn || column == maxColumn)
            background = limitsBackground;
        item->setBackground(column, colorrefToColor(background));
        item->setForeground(column, colorrefToColor(column == nameColumn ? nameText : otherText));
    }
}

void installationDlg_t::buildComparisonText()
{
    qvrCommDev_t* device = control_.getDevice();
    if (device == nullptr)
        return;
    std::vector<std::int32_t> copy(paramLayout::words);
    device->getParameterMemory(copy.data());
    // One decision for the whole comparison: the memory's glue form and
    // where its factory values are must agree.
    const bool factoryBlock = device->isEmbeddedVersionAtLeast1120();
    for (int row = 0; row < rowCount(); ++row) {
        const baseParamHandle_t& handle = *rows_[static_cast<std::size_t>(row)];
        if (QTreeWidgetItem* item = ui_->parameterList->topLevelItem(row)) {
            item->setText(valueColumn, QString::fromStdWString(handle.formatValue(handle.valueFrom(copy.data(), L""))));
            item->setText(factoryColumn, QString::fromStdWString(handle.formatFactoryValue()));
        }
        // What the list shows is not repeated in the comparison.
        handle.storeInArray(copy, handle.factoryValue());
        paintRow(row);
    }
    const std::span<const std::int32_t> current(copy);
    // Without a factory block the factory values are the built-in defaults,
    // whose glue table is always compact.
    const comparedImage_t factory{factoryBlock ? current.subspan(paramLayout::factoryBlockWord)
                                               : std::span<const std::int32_t>(getDefaultParameterTable()),
                                  true};
    comparison_ = parameterComparisonText(comparedImage_t{current, factoryBlock}, factory);
    updateData();
}

std::vector<std::pair<std::wstring, std::wstring>> installationDlg_t::parameterRows() const
{
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    for (const auto& row : rows_)
        rows.emplace_back(row->name(), row->formatValue(currentValueMark));
    return rows;
}

// --- the in-place editor ------------------------------------------------------------

bool installationDlg_t::eventFilter(QObject* watched, QEvent* event)
{
    // Esc in the in-place editor drops the edit, and goes no further.
    if (watched == ui_->valueEditor && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        closeEditor();
        ui_->parameterList->setFocus(Qt::OtherFocusReason);
        return true;
    }
    // On release, as a list's click comes: the press has given the list the
    // focus, which the editor then takes.
    if (watched == ui_->parameterList->viewport() && event->type() == QEvent::MouseButtonRelease && !committing_) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            onListClick(mouse->position().toPoint());
    }
    return QWidget::eventFilter(watched, event);
}

void installationDlg_t::onListClick(const QPoint& position)
{
    QTreeWidget* view = ui_->parameterList;
    const QModelIndex index = view->indexAt(position);
    commitEditedValue();
    if (!index.isValid() || index.column() != valueColumn || index.row() >= rowCount())
        return;
    editedRow_ = index.row();
    QLineEdit* edit = ui_->valueEditor;
    const QRect cell = view->visualRect(index);
    const QPoint topLeft = view->viewport()->mapTo(this, cell.topLeft());
    // A line edit needs its own height to show the text whole; it is
    // centred over the cell.
    const int height = std::max(cell.height() + 2, edit->sizeHint().height());
    edit->setGeometry(topLeft.x(), topLeft.y() + (cell.height() - height) / 2, cell.width(), height);
    edit->setText(view->topLevelItem(index.row())->text(valueColumn));
    edit->raise();
    edit->show();
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
}

void installationDlg_t::commitEditedValue()
{
    if (editedRow_ < 0 || editedRow_ >= rowCount())
        return;
    committing_ = true;
    const baseParamHandle_t& row = *rows_[static_cast<std::size_t>(editedRow_)];
    const std::wstring typed = ui_->valueEditor->text().toStdWString();
    const parameterEditCommit_t commit = decideParameterEdit(row, row.valueFrom(nullptr, L""), typed);
    if (commit.action == parameterEditCommit_t::keepEditing_e) {
        committing_ = false;
        return;
    }
    if (commit.action == parameterEditCommit_t::ask_e) {
        // The question runs its own event loop: a notification may refill
        // the list meanwhile, which frees every row's handle (`row`
        // included), or the device may go. So the row is found again by its
        // parameter, and an answer given to a list or device that has
        // changed since is not applied.
        const std::wstring parameter = row.name();
        const unsigned listBefore = listGeneration_;
        qvrCommDev_t* const deviceBefore = control_.getDevice();
        const bool yes = messageBox(commit.question, MB_YESNO | MB_ICONQUESTION) == IDYES;
        baseParamHandle_t* const again = rowOfParameter(parameter);
        if (yes && again != nullptr && listGeneration_ == listBefore && deviceBefore != nullptr &&
            control_.getDevice() == deviceBefore) {
            again->setFromText(typed);
            tovrikApp().refreshMainWindow();
        }
    }
    closeEditor();
    committing_ = false;
}

baseParamHandle_t* installationDlg_t::rowOfParameter(const std::wstring& name) const
{
    for (const auto& row : rows_)
        if (row->name() == name)
            return row.get();
    return nullptr;
}

void installationDlg_t::keyPressEvent(QKeyEvent* event)
{
    if (!routePageKeys(*this, event))
        QWidget::keyPressEvent(event);
}

void installationDlg_t::closeEditor()
{
    editedRow_ = -1;
    ui_->valueEditor->hide();
    ui_->parameterList->viewport()->update();
}

// --- buttons ---------------------------------------------------------------------------

void installationDlg_t::onRestoreFactory()
{
    if (messageBox(restoreQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    for (const auto& row : rows_) {
        const std::int32_t factory = row->factoryValue();
        // The stored value itself: a shown text keeps six digits only, and
        // the step sizes read a typed number back in another unit.
        if (row->valueFrom(nullptr, L"") != factory)
            row->setValue(factory);
    }
    tovrikApp().refreshMainWindow();
}

void installationDlg_t::onSaveParameters()
{
    qvrCommDev_t* device = control_.getDevice();
    if (device == nullptr)
        return;
    fileDialogRequest_t request;
    request.kind = fileDialogRequest_t::save_e;
    request.parent = this;
    request.filter = parametersFilter;
    request.defaultSuffix = L"TXT";
    request.overwritePrompt = true;
    const std::optional<std::wstring> path = runFileDialog(request);
    if (!path)
        return;
    // A backup that was not written must not look written; the old file stays.
    if (!device->writeParametersFile(*path, nullptr, L""))
        messageBox(L"", MB_OK | MB_ICONERROR);
}

void installationDlg_t::onUpdateMachineParameters()
{
    qvrCommDev_t* device = control_.getDevice();
    if (device == nullptr)
        return;
    fileDialogRequest_t request;
    request.kind = fileDialogRequest_t::open_e;
    request.parent = this;
    request.startPath = withBackslashes(device->getFactoryParametersPath());
    request.filter = parametersFilter;
    request.defaultSuffix = L"TXT";
    const std::optional<std::wstring> path = runFileDialog(request);
    if (!path)
        return;

    // A damaged file is refused whole: it would reach the machine half
    // applied. A file of another version is not damaged: the parameters it
    // does not hold keep their current values, as the image starts as the
    // current memory.
    std::vector<std::int32_t> image(paramLayout::words);
    device->getParameterMemory(image.data());
    const std::wstring errorText = device->readWholeParametersFile(*path, image.data());
    if (!errorText.empty()) {
        messageBox(errorText + L"\nNothing was written or sent to the machine.", MB_OK | MB_ICONERROR);
        return;
    }
    // The listed parameters keep their current values.
    for (const auto& row : rows_)
        row->storeInArray(image, row->valueFrom(nullptr, L""));

    const std::wstring parametersPath = device->getParametersFilePath();
    if (!device->writeParametersFile(parametersPath, image.data(), L"")) {
        // Nothing is sent that the file does not hold.
        messageBox(L"", MB_OK | MB_ICONERROR);
        return;
    }
    device->readParametersFile(parametersPath, nullptr, nullptr);
    device->sendAllParameters();
    tovrikApp().refreshMainWindow();
}

void installationDlg_t::onInstallFirmware()
{
    // A program that does not start is not reported.
    runProgram(getSlicerFolder() + L"/Pevrale.exe", L"", true);
}

void installationDlg_t::onCompare()
{
    messageBox(comparison_, MB_OK | MB_ICONINFORMATION);
}

void installationDlg_t::onInitializeMachine()
{
    tovrikApp().sendCommandIfReady(138);
}
