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
#include "LineEdits.h"
#include "PathWidget.h"
#include "QtZeltItemModel.h"
#include "CZeltNetworkSection.h"
#include "CZeltPasswordSection.h"
#include "CZeltBatchRunner.h"
#include "CZeltTrustDelegate.h"
#include "CZeltDeviceStore.h"
#include "CZeltDeviceTable.h"
#include "CZeltPanelContext.h"
#include "ZeltTrust.h"
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

QtZelt *QtZelt::Instance()
{
    return g_pPanel.load(std::memory_order_acquire);
}

QtZelt::QtZelt(QWidget *parent, TBX_ModifyNetParamFunc pModify, TBX_ResetPasswordFunc pReset, TBX_RefreshFunc pRefresh)
    : QWidget(parent)
    , m_pUi(new Ui_QtZeltClass)
    , m_pModify(pModify)
    , m_pReset(pReset)
    , m_pRefresh(pRefresh)
    , m_pStore(new CZeltDeviceStore)
{
    m_pUi->setupUi(this);
    CTableView *table = m_pUi->tableWidgetDevice;
    m_pModel = new QtZeltItemModel(table);
    table->setModel(m_pModel);
    table->setUniformRowHeights(true);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);

    m_pRunner = new CZeltBatchRunner(this);
    m_pTable = new CZeltDeviceTable(*m_pStore, *m_pModel, m_pUi->m_pLabelCount, this);
    m_pContext.reset(new CZeltPanelContext{this, *m_pUi, *m_pStore, *m_pModel, *m_pRunner, {}});
    m_pNetwork = std::make_unique<CZeltNetworkSection>(*m_pContext, pModify);
    m_pPassword = std::make_unique<CZeltPasswordSection>(*m_pContext);
    m_pNetwork->SetUpFields();
    m_pPassword->SetUpFields();

    ZeltRecords::registerMetaTypes();
    MakeConnections();
    // The intake's signals are emitted under the panel lock, and their
    // slots read the copies under it: the lock orders each copy made on the
    // hub's thread before the GUI thread reads it.
    CZeltDeviceStore::Listener listener;
    listener.online = [this](const ZELT_DEVICE_INFO_MY &info) {
        // During the shell's replay the signal is delivered directly and the
        // row must exist when the call returns.
        const bool direct = QThread::currentThread() == thread();
        if (direct)
            m_bDirectIntake = true;
        emit DeviceOnlineSignal(info);
        if (direct)
            m_bDirectIntake = false;
    };
    listener.update = [this](const ZELT_DEVICE_INFO_MY &info) { emit DeviceUpdateSignal(info); };
    listener.offline = [this](const QString &serial, const QString &mac) { emit DeviceOfflineSignal(serial, mac); };
    m_pStore->SetListener(std::move(listener));
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
                     header->fontMetrics().horizontalAdvance(m_pModel->headerData(c, Qt::Horizontal).toString()) + 14);
        if (w > 0)
            table->setColumnWidth(c, w);
    }
    m_pUi->m_pBtnExpand->show();
    m_pUi->m_pBtnShrink->hide();

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
    {
        CZeltDeviceStore::Locker lock(*m_pStore);
        m_pStore->SetListener({});
    }
    // The runner's workers and the table feed use the store: they go first.
    delete m_pRunner;
    m_pRunner = nullptr;
    delete m_pTable;
    m_pTable = nullptr;
}

void QtZelt::CompleteStart()
{
    m_bStarted = true;
    if (m_pRefresh)
        m_pRefresh();
    SetEditingEnabled(false);
    m_pUi->widgetBatch->hide();
    connect(m_pUi->btnImport, &QPushButton::clicked, this, &QtZelt::OnImport);
    connect(m_pUi->btnExport, &QPushButton::clicked, this, &QtZelt::OnExport);
    m_pUi->tableWidgetDevice->setColumnHidden(Col::ColNew, true);
    m_pPassword->CompleteStart();
}

void QtZelt::MakeConnections()
{
    CTableView *table = m_pUi->tableWidgetDevice;
    QHeaderView *header = table->header();
    connect(m_pModel, &QAbstractItemModel::dataChanged, this, &QtZelt::ResetData);
    connect(header, &QHeaderView::sectionMoved, this, &QtZelt::OnHeaderCountChanged);
    connect(header, &QHeaderView::sectionPressed, this, &QtZelt::OnHeaderPress);
    connect(table, &QAbstractItemView::doubleClicked, this, &QtZelt::OnClickAction);
    connect(table, &CTableView::SignalClickRelease, this, &QtZelt::OnDeviceTableClicked);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { FollowSelection(true); });
    // Rows that go (offline devices) or move take their selection along
    // without a selection signal.
    connect(m_pModel, &QAbstractItemModel::rowsRemoved, this, &QtZelt::FollowSelectionLater);
    connect(m_pModel, &QAbstractItemModel::layoutChanged, this, &QtZelt::FollowSelectionLater);
    connect(m_pModel, &QAbstractItemModel::modelReset, this, &QtZelt::FollowSelectionLater);
    connect(header, &QHeaderView::sectionClicked, this, &QtZelt::SortTable);
    connect(m_pUi->pushButtonManualUpdate, &QPushButton::clicked, this, &QtZelt::OnManualUpdate);
    connect(m_pUi->m_pBtnExpand, &QToolButton::clicked, this, &QtZelt::OnClickExpandBtn);
    connect(m_pUi->m_pBtnShrink, &QToolButton::clicked, this, &QtZelt::OnClickShrinkBtn);
    connect(m_pUi->pushButtonModifyNetwork, &QPushButton::clicked, this, &QtZelt::OnModifyNetPara);
    connect(m_pUi->pushButtonModifyPassword, &QPushButton::clicked, this, &QtZelt::OnDefaultPassword);
    connect(m_pUi->checkBoxDhcp, &QCheckBox::stateChanged, this, &QtZelt::OnDchpChanged);
    connect(m_pUi->checkBoxBatchDhcp, &QCheckBox::stateChanged, this, &QtZelt::OnBatchDchpChanged);
    connect(m_pUi->btbExcel, &QPushButton::clicked, this, &QtZelt::saveExcel);
    connect(m_pUi->pushButtonModifyBatchNetwork, &QPushButton::clicked, this, &QtZelt::batchEnableDHCP);
    connect(m_pUi->edtNewPassword, &QLineEdit::textChanged, this, &QtZelt::OnNewPasswordTextChanged);

    connect(this, &QtZelt::DeviceOnlineSignal, this, &QtZelt::OnDeviceOnline);
    connect(this, &QtZelt::DeviceOfflineSignal, this, &QtZelt::OnDeviceOffline);
    connect(this, &QtZelt::DeviceUpdateSignal, this, &QtZelt::OnDeviceUpdate);
}

// ------------------------------------------------------------ intake

void QtZelt::HandleEvent(const ZELT_DEVICE_EVENT &ev)
{
    m_pStore->Intake(ev);
}

QList<ZELT_DEVICE_INFO_MY> QtZelt::DeviceList()
{
    return m_pStore->Snapshot();
}

int QtZelt::DebugCounter() const
{
    return m_pTable->DebugCounter();
}

void QtZelt::FlushOfflineEvents()
{
    m_pTable->FlushOffline();
}

void QtZelt::FlushOnlineEvents()
{
    m_pTable->FlushOnline();
}

void QtZelt::OnDeviceOnline(const ZELT_DEVICE_INFO_MY &info)
{
    m_pTable->Online(info, m_bDirectIntake);
}

void QtZelt::OnDeviceOffline(const QString &serial, const QString &mac)
{
    m_pTable->Offline(serial, mac);
}

void QtZelt::OnDeviceUpdate(const ZELT_DEVICE_INFO_MY &info)
{
    const int row = m_pTable->Update(info);
    if (row >= 0 && m_eShown == Shown::Single && m_pContext->shownRow.row() == row)
        FillPanel(row);
}

// ------------------------------------------------------------ table

void QtZelt::SortTable(int column)
{
    m_pTable->Flush();
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
        const QString port = m_pModel->TextAt(index.row(), Col::ColHttpPort).trimmed();
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
    if (QStandardItem *item = m_pModel->itemFromIndex(cell); item && item->text() != text)
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

// ------------------------------------------------------------ selection

void QtZelt::OnDeviceTableClicked(const QModelIndex &index)
{
    Q_UNUSED(index);
    m_pTable->Flush();
    FollowSelection(true);
}

void QtZelt::FollowSelection(bool bForce)
{
    const QModelIndexList rows = m_pUi->tableWidgetDevice->selectionModel()->selectedRows();
    QPersistentModelIndex &shown = m_pContext->shownRow;
    if (rows.isEmpty()) {
        if (bForce || m_eShown != Shown::Nothing)
            SetEditingEnabled(false);
        m_eShown = Shown::Nothing;
        shown = QPersistentModelIndex();
    } else if (rows.size() > 1) {
        if (bForce || m_eShown != Shown::Run) {
            m_pNetwork->SetMultiMode(rows);
            m_pPassword->SetMultiMode();
        }
        m_eShown = Shown::Run;
        shown = QPersistentModelIndex();
    } else {
        const QModelIndex row = rows.first();
        if (bForce || m_eShown != Shown::Single || shown != row) {
            SetEditingEnabled(true);
            FillPanel(row.row());
        }
        m_eShown = Shown::Single;
        shown = row;
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

void QtZelt::SetEditingEnabled(bool bOn)
{
    m_pNetwork->SetEnabled(bOn);
    m_pPassword->SetEnabled(bOn);
}

// Panel filling from a row: the row's own device, or the record at the
// row's position when no record matches the row.
void QtZelt::FillPanel(int row)
{
    m_pNetwork->SetSingleMode();
    ZELT_DEVICE_INFO_MY d;
    {
        CZeltDeviceStore::Locker lock(*m_pStore);
        if (row < 0 || row >= m_pStore->Size())
            return;
        const int rec = m_pContext->RecordOfRow(row);
        d = m_pStore->At(rec >= 0 ? rec : row);
    }
    m_pNetwork->Fill(d);
    m_pPassword->Fill(d);
}

// ------------------------------------------------------------ sections

void QtZelt::OnModifyNetPara()
{
    m_pNetwork->ModifySelected();
}

void QtZelt::batchEnableDHCP()
{
    m_pNetwork->ModifyDhcpOfSelected();
}

void QtZelt::OnDchpChanged(int state)
{
    m_pNetwork->OnDhcpChanged(state);
}

void QtZelt::OnBatchDchpChanged(int state)
{
    m_pNetwork->OnBatchDhcpChanged(state);
}

void QtZelt::OnDefaultPassword()
{
    m_pPassword->ActOnDefaultPassword();
}

void QtZelt::OnNewPasswordTextChanged(const QString &strText)
{
    m_pPassword->ShowStrength(strText);
}

void QtZelt::OnExport()
{
    m_pPassword->ExportKey();
}

void QtZelt::OnImport()
{
    m_pPassword->ImportKey();
}

// "Save as Excel": the device table into a workbook.
void QtZelt::saveExcel()
{
    PathWidget dlg(m_pModel, nullptr, QtZeltItemModel::ExportedColumns());
    dlg.exec();
}

void QtZelt::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange) {
        m_pUi->retranslateUi(this);
        m_pNetwork->Retranslate();
        m_pPassword->Retranslate();
        CZeltDeviceStore::Locker lock(*m_pStore);
        m_pModel->Retranslate([this](int row) -> const ZELT_DEVICE_INFO_MY * {
            const int rec = m_pContext->RecordOfRow(row);
            return rec >= 0 ? &m_pStore->At(rec) : nullptr;
        });
    }
    QWidget::changeEvent(e);
}
