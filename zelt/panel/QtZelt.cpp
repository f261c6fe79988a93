#include "QtZelt.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QStandardItem>
#include <QThread>
#include <QToolButton>
#include <QUrl>

#include <atomic>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "CWarnDlg.h"
#include "CZeltBatchRunner.h"
#include "CZeltDeviceController.h"
#include "CZeltFieldDialog.h"
#include "CZeltNetworkSection.h"
#include "CZeltPasswordSection.h"
#include "CZeltTrustDelegate.h"
#include "LineEdits.h"
#include "PathWidget.h"
#include "QtZeltItemModel.h"
#include "ZeltNetChecks.h"
#include "ZeltScanRanges.h"
#include "ZeltTimeSync.h"
#include "ZeltWidgetGroups.h"
#include "ui_QtZelt.h"
#include "vela.h"

Q_LOGGING_CATEGORY(lcZeltPanel, "zelt.panel")

namespace {
std::atomic<QtZelt *> g_pPanel{nullptr};
// Hub threads between reading g_pPanel and leaving the panel's intake. The
// destructor clears g_pPanel, then waits for this to drop to zero: counted
// before the pointer is read, so no thread can still hold the old panel.
std::atomic<int> g_iIntakeCalls{0};
using Col = QtZeltItemModel::Column;
} // namespace

void OnDeviceEvent(const ZELT_DEVICE_EVENT *pEvent, int iContext)
{
    Q_UNUSED(iContext);
    if (!pEvent)
        return;
    g_iIntakeCalls.fetch_add(1);
    if (QtZelt *panel = g_pPanel.load())
        panel->HandleEvent(*pEvent);
    g_iIntakeCalls.fetch_sub(1);
}

QtZelt::QtZelt(QWidget *parent, TBX_ModifyNetParamFunc pModify, TBX_ResetPasswordFunc pReset, TBX_RefreshFunc pRefresh)
    : QWidget(parent)
    , m_pUi(new Ui_QtZeltClass)
    , m_pRefresh(pRefresh)
    , m_pDevices(new CZeltDeviceController(this))
{
    Q_UNUSED(pReset); // the shell's second service does nothing the panel needs
    Ui_QtZeltClass &ui = *m_pUi;
    ui.setupUi(this);
    CTableView *table = ui.tableWidgetDevice;
    table->setModel(m_pDevices->Model());
    table->setUniformRowHeights(true);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pDevices->Runner().SetDialogParent(this);

    m_pNetwork = new CZeltNetworkSection({ui.label_162,
                                          ui.label_7,
                                          ui.label_5,
                                          ui.frame_4,
                                          ui.frame,
                                          ui.lineEditSerial,
                                          ui.lineEditIPAddr,
                                          ui.lineEditIPMask,
                                          ui.lineEditPort,
                                          ui.lineEditIPGateway,
                                          ui.lineEditHttpPort,
                                          ui.lineEditIPv6Addr,
                                          ui.lineEditIPv6Gateway,
                                          ui.lineEditIPv6Mask,
                                          ui.lineEditPort_Password,
                                          ui.checkBoxDhcp,
                                          ui.pushButtonModifyNetwork,
                                          ui.widgetBatch,
                                          ui.checkBoxBatchDhcp,
                                          ui.lineEditPort_BatchPassword,
                                          ui.pushButtonModifyBatchNetwork},
                                         *m_pDevices, pModify, this);
    m_pPassword = new CZeltPasswordSection(
        {ui.label_163, ui.label_17, ui.m_pDefaultPwdLEdit, ui.label_2, ui.edtNewPassword, ui.m_pLabelLevel,
         ui.m_pLabelLevel1, ui.m_pLabelLevel2, ui.m_pLabelLevel3, ui.label_3, ui.edtConfirmPassword,
         ui.pushButtonModifyPassword, ui.combExportFile, ui.btnExport, ui.combImportFile, ui.btnImport},
        *m_pDevices, this);

    MakeConnections();
    g_pPanel.store(this, std::memory_order_release);

    QHeaderView *header = table->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(0, Qt::AscendingOrder);
    // The trust column is the model's last and shown next to the ID, so
    // that it is in sight without scrolling; narrow, icon only.
    table->setItemDelegateForColumn(Col::ColTrust, new CZeltTrustDelegate(table));
    header->moveSection(header->visualIndex(Col::ColTrust), 1);
    // Address columns are widened when the font would cut a full address.
    const int addressWidth = table->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 12;
    for (int c = 0; c < QtZeltItemModel::ColumnCount; ++c) {
        int w = QtZeltItemModel::ColumnWidth(c);
        if (QtZeltItemModel::IsAddressColumn(c))
            w = qMax(w, addressWidth);
        if (c == Col::ColTrust) // its header text in full
            w = qMax(w,
                     header->fontMetrics().horizontalAdvance(Model()->headerData(c, Qt::Horizontal).toString()) + 14);
        if (w > 0)
            table->setColumnWidth(c, w);
    }
    ui.m_pBtnExpand->show();
    ui.m_pBtnShrink->hide();
    ui.pushButtonSyncTime->setEnabled(false); // until a device is selected

    // The ranges the user named in an earlier run, before the first search.
    ZeltScanRanges::ApplyRemembered();

    // The packet-capture runtime decides whether the panel completes its
    // start; without it the table still fills from device events.
    if (Vela_LoadDSo("PACKET.dll"))
        CompleteStart();
    else
        qCDebug(lcZeltPanel) << "packet-capture runtime not found:" << Vela_GetLastDsoError();
}

QtZelt::~QtZelt()
{
    QtZelt *self = this;
    g_pPanel.compare_exchange_strong(self, nullptr);
    // Events already inside the intake finish before the panel goes. They
    // only queue signals, so none of them waits for this thread.
    while (g_iIntakeCalls.load() != 0)
        QThread::yieldCurrentThread();
    // The runner's commands end before the devices and the sections go; a
    // summary still to come is not told.
    delete m_pDevices;
    m_pDevices = nullptr;
}

void QtZelt::CompleteStart()
{
    m_bStarted = true;
    if (m_pRefresh)
        m_pRefresh();
    connect(m_pUi->btnImport, &QPushButton::clicked, this, &QtZelt::OnImport);
    connect(m_pUi->btnExport, &QPushButton::clicked, this, &QtZelt::OnExport);
    m_pUi->tableWidgetDevice->setColumnHidden(Col::ColNew, true);
    m_pNetwork->CompleteStart();
    m_pPassword->CompleteStart();
}

void QtZelt::MakeConnections()
{
    Ui_QtZeltClass &ui = *m_pUi;
    CTableView *table = ui.tableWidgetDevice;
    QHeaderView *header = table->header();
    QtZeltItemModel *model = Model();
    connect(model, &QAbstractItemModel::dataChanged, this, &QtZelt::ResetData);
    connect(header, &QHeaderView::sectionMoved, this, &QtZelt::OnHeaderCountChanged);
    connect(header, &QHeaderView::sectionPressed, this, &QtZelt::OnHeaderPress);
    connect(table, &QAbstractItemView::doubleClicked, this, &QtZelt::OnClickAction);
    connect(table, &CTableView::SignalClickRelease, this, &QtZelt::OnDeviceTableClicked);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { FollowSelection(true); });
    // Rows that go (offline devices) or move take their selection along
    // without a selection signal.
    connect(model, &QAbstractItemModel::rowsRemoved, this, &QtZelt::FollowSelectionLater);
    connect(model, &QAbstractItemModel::layoutChanged, this, &QtZelt::FollowSelectionLater);
    connect(model, &QAbstractItemModel::modelReset, this, &QtZelt::FollowSelectionLater);
    connect(header, &QHeaderView::sectionClicked, this, &QtZelt::SortTable);
    connect(ui.pushButtonManualUpdate, &QPushButton::clicked, this, &QtZelt::OnManualUpdate);
    connect(ui.pushButtonAddRange, &QPushButton::clicked, this, &QtZelt::OnAddRange);
    connect(ui.pushButtonSyncTime, &QPushButton::clicked, this, &QtZelt::OnSyncTime);
    connect(ui.m_pBtnExpand, &QToolButton::clicked, this, &QtZelt::OnClickExpandBtn);
    connect(ui.m_pBtnShrink, &QToolButton::clicked, this, &QtZelt::OnClickShrinkBtn);
    connect(ui.pushButtonModifyNetwork, &QPushButton::clicked, this, &QtZelt::OnModifyNetPara);
    connect(ui.pushButtonModifyPassword, &QPushButton::clicked, this, &QtZelt::OnDefaultPassword);
    connect(ui.checkBoxDhcp, &QCheckBox::stateChanged, this, &QtZelt::OnDchpChanged);
    connect(ui.checkBoxBatchDhcp, &QCheckBox::stateChanged, this, &QtZelt::OnBatchDchpChanged);
    connect(ui.btbExcel, &QPushButton::clicked, this, &QtZelt::saveExcel);
    connect(ui.pushButtonModifyBatchNetwork, &QPushButton::clicked, this, &QtZelt::batchEnableDHCP);
    connect(ui.edtNewPassword, &QLineEdit::textChanged, this, &QtZelt::OnNewPasswordTextChanged);

    // The devices' events: the panel's signals carry them on, on the
    // intake's thread as before; the controller applies them itself.
    connect(m_pDevices, &CZeltDeviceController::DeviceOnline, this, &QtZelt::DeviceOnlineSignal, Qt::DirectConnection);
    connect(
        m_pDevices, &CZeltDeviceController::DeviceOffline, this,
        [this](const DeviceKey &key) { emit DeviceOfflineSignal(key.Serial(), key.Mac()); }, Qt::DirectConnection);
    connect(m_pDevices, &CZeltDeviceController::DeviceUpdated, this, &QtZelt::DeviceUpdateSignal, Qt::DirectConnection);
    connect(m_pDevices, &CZeltDeviceController::CountChanged, ui.m_pLabelCount,
            [label = ui.m_pLabelCount](int count) { label->setText(QString::number(count)); });
    connect(m_pDevices, &CZeltDeviceController::RowUpdated, this, &QtZelt::OnRowUpdated);
}

// ------------------------------------------------------------ intake

void QtZelt::HandleEvent(const ZELT_DEVICE_EVENT &ev)
{
    m_pDevices->Intake(ev);
}

QList<ZELT_DEVICE_INFO_MY> QtZelt::DeviceList()
{
    return m_pDevices->Snapshot();
}

QtZeltItemModel *QtZelt::Model() const
{
    return m_pDevices->Model();
}

CZeltBatchRunner *QtZelt::Runner() const
{
    return &m_pDevices->Runner();
}

bool QtZelt::IsBusy() const
{
    return m_pDevices->IsBusy();
}

ZeltModes::Network QtZelt::NetworkMode() const
{
    return m_pNetwork->Mode();
}

ZeltModes::Password QtZelt::PasswordMode() const
{
    return m_pPassword->Mode();
}

void QtZelt::OnDeviceOnline(const ZELT_DEVICE_INFO_MY &info)
{
    m_pDevices->ShowOnline(info, DeviceKey::Of(info));
}

void QtZelt::OnDeviceOffline(const QString &serial, const QString &mac)
{
    m_pDevices->ShowOffline({serial, mac});
}

void QtZelt::OnDeviceUpdate(const ZELT_DEVICE_INFO_MY &info)
{
    m_pDevices->ShowUpdate(info, DeviceKey::Of(info));
}

void QtZelt::OnRowUpdated(const DeviceKey &key)
{
    // The shown device's values follow its updates.
    if (m_pNetwork->Mode() == ZeltModes::Network::Single && m_pNetwork->ShownDevice() == key)
        if (const auto target = m_pDevices->TargetOf(key)) {
            m_pNetwork->ShowDevice(target->record);
            m_pPassword->ShowDevice(target->record);
        }
}

// ------------------------------------------------------------ table

void QtZelt::SortTable(int column)
{
    m_pDevices->Flush();
    QHeaderView *header = m_pUi->tableWidgetDevice->header();
    header->setSortIndicatorShown(true);
    m_pUi->tableWidgetDevice->sortByColumn(column, header->sortIndicatorOrder());
}

void QtZelt::OnHeaderPress(int section)
{
    QHeaderView *header = m_pUi->tableWidgetDevice->header();
    header->setSectionsMovable(section != 0);
    if (section != 0)
        m_headerState = header->saveState();
}

void QtZelt::OnHeaderCountChanged(int logical, int oldVisual, int newVisual)
{
    Q_UNUSED(logical);
    // The "ID" column stays first: a move from or onto the first place is
    // undone.
    if ((oldVisual == 0 || newVisual == 0) && !m_headerState.isEmpty())
        m_pUi->tableWidgetDevice->header()->restoreState(m_headerState);
}

void QtZelt::OnClickAction(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    if (index.column() == Col::ColIPv4) {
        const QString address = index.data().toString();
        const QString port = Model()->TextAt(index.row(), Col::ColHttpPort).trimmed();
        qCDebug(lcZeltPanel) << "open device page" << QStringLiteral("http://%1:%2").arg(address, port);
        // A device without an HTTP port ("N/A") is opened on the default port:
        // an address with a non-numeric port is not a URL any browser opens.
        bool numeric = false;
        port.toUInt(&numeric);
        QDesktopServices::openUrl(
            QUrl(numeric ? QStringLiteral("http://%1:%2").arg(address, port) : QStringLiteral("http://") + address));
    } else if (index.column() == Col::ColSerial) {
        m_strRememberedSerial = index.data().toString();
        m_rememberedSerialCell = index;
    }
}

void QtZelt::ResetData(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    // The model refuses edits of the serial cell; this puts the remembered
    // text back should the cell have changed all the same. Only the cell
    // that was opened keeps it; rows changed meanwhile keep theirs.
    const QModelIndex cell = m_rememberedSerialCell;
    if (m_strRememberedSerial.isNull() || !cell.isValid() || cell.row() < topLeft.row()
        || cell.row() > bottomRight.row() || cell.column() < topLeft.column() || cell.column() > bottomRight.column())
        return;
    const QString text = m_strRememberedSerial;
    m_strRememberedSerial = QString();
    m_rememberedSerialCell = QPersistentModelIndex();
    if (QStandardItem *item = Model()->itemFromIndex(cell); item && item->text() != text)
        item->setText(text);
}

void QtZelt::OnClickExpandBtn()
{
    m_pUi->m_pBtnExpand->hide();
    m_pUi->m_pBtnShrink->show();
    m_pUi->m_pSetFrame->hide();
}

void QtZelt::OnClickShrinkBtn()
{
    m_pUi->m_pBtnShrink->hide();
    m_pUi->m_pBtnExpand->show();
    m_pUi->m_pSetFrame->show();
}

void QtZelt::OnManualUpdate()
{
    if (m_pRefresh)
        m_pRefresh();
}

void QtZelt::OnAddRange()
{
    CZeltFieldDialog dlg(this, QStringLiteral("lineEditRanges"), tr("Addresses or ranges to search"), false);
    dlg.SetTexts(tr("Add by address or range"),
                 tr("Devices behind a router: their addresses, blocks such as 10.2.0.0/22 or ranges such as "
                    "10.3.0.10-10.3.0.99 (IPv4 or IPv6, at most a /16 each), separated by commas or spaces. "
                    "Empty: the local network only."));
    dlg.Field()->setText(ZeltScanRanges::Remembered());
    // The SDK decides what a range is; a refused text changes nothing.
    dlg.SetCheck([](const QString &text) { return ZeltScanRanges::Apply(text); });
    if (dlg.exec() == QDialog::Accepted && m_pRefresh)
        m_pRefresh();
}

void QtZelt::OnSyncTime()
{
    if (IsBusy())
        return;
    const QList<CZeltDeviceController::Target> targets = m_pDevices->TargetsOf(Selection().rows);
    if (targets.isEmpty()) {
        CWarnDlg::ShowMsg(tr("Information"), tr("Please select a device."), this);
        return;
    }
    // The network section's device password, as Modify sends it; asked
    // for when that field is empty (in a run, or with DHCP on, it may be
    // off).
    QLineEdit *field = m_pUi->lineEditPort_Password;
    QString password = field->text();
    auto check = [](const QString &text) {
        if (text.isEmpty())
            return tr("The password can not be empty.");
        const auto error = ZeltNet::CheckPassword(text, ZeltFieldError::Field::Password);
        return error ? error->message : QString();
    };
    if (password.isEmpty()) {
        CZeltFieldDialog ask(this, QStringLiteral("lineEditSyncPassword"), tr("Device password"), true);
        ask.SetTexts(tr("Synchronize time"), tr("The password of the selected devices:"));
        ask.SetCheck(check);
        if (ask.exec() != QDialog::Accepted)
            return;
        password = ask.Text();
    } else if (const QString problem = check(password); !problem.isEmpty()) {
        ShowFieldTip(field, problem);
        return;
    }
    ZeltTimeSync::Run(*m_pDevices, targets, password.toLatin1(), this);
}

// ------------------------------------------------------------ selection

ZeltSelection QtZelt::Selection() const
{
    CTableView *table = m_pUi->tableWidgetDevice;
    return {table->currentIndex(), table->selectionModel()->selectedRows()};
}

void QtZelt::OnDeviceTableClicked(const QModelIndex &index)
{
    Q_UNUSED(index);
    m_pDevices->Flush();
    FollowSelection(true);
}

void QtZelt::FollowSelection(bool bForce)
{
    using Mode = ZeltModes::Network;
    const QModelIndexList rows = m_pUi->tableWidgetDevice->selectionModel()->selectedRows();
    const Mode shown = m_pNetwork->Mode();
    m_pUi->pushButtonSyncTime->setEnabled(!rows.isEmpty());
    if (rows.isEmpty()) {
        if (bForce || shown != Mode::Off) {
            m_pNetwork->ShowNothing();
            m_pPassword->ShowNothing();
        }
    } else if (rows.size() > 1) {
        if (bForce || shown != Mode::Run) {
            m_pNetwork->ShowRun(m_pDevices->TargetsOf(rows));
            m_pPassword->ShowRun();
        }
    } else if (bForce || shown != Mode::Single || m_pNetwork->ShownDevice() != Model()->KeyOfRow(rows.first().row())) {
        ShowRow(rows.first());
    }
}

void QtZelt::FollowSelectionLater()
{
    if (m_bFollowQueued)
        return;
    m_bFollowQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bFollowQueued = false;
            FollowSelection(false);
        },
        Qt::QueuedConnection);
}

void QtZelt::ShowRow(const QModelIndex &row)
{
    if (const auto target = m_pDevices->TargetOf(row)) {
        m_pNetwork->ShowDevice(target->record);
        m_pPassword->ShowDevice(target->record);
    }
}

// ------------------------------------------------------------ sections

void QtZelt::OnModifyNetPara()
{
    m_pNetwork->Modify(Selection());
}

void QtZelt::batchEnableDHCP()
{
    m_pNetwork->ModifyDhcp(Selection());
}

void QtZelt::OnDchpChanged(int state)
{
    if (state == Qt::Unchecked || state == Qt::Checked)
        m_pNetwork->Render();
}

void QtZelt::OnBatchDchpChanged(int state)
{
    if (state == Qt::Unchecked || state == Qt::Checked)
        m_pNetwork->Render();
}

void QtZelt::OnDefaultPassword()
{
    m_pPassword->Act(Selection());
}

void QtZelt::OnNewPasswordTextChanged(const QString &strText)
{
    m_pPassword->ShowStrength(strText);
}

void QtZelt::OnExport()
{
    m_pPassword->ExportKey(Selection());
}

void QtZelt::OnImport()
{
    m_pPassword->ImportKey();
}

// "Save as Excel": the device table into a workbook.
void QtZelt::saveExcel()
{
    PathWidget dlg(Model(), nullptr, QtZeltItemModel::ExportedColumns());
    dlg.exec();
}

void QtZelt::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange && m_pPassword) {
        m_pUi->retranslateUi(this);
        m_pNetwork->Retranslate();
        m_pPassword->Retranslate();
        m_pDevices->Retranslate();
    }
    QWidget::changeEvent(e);
}
