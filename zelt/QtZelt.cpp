#include "QtZelt.h"

#include <QCheckBox>
#include <QDebug>
#include <QDesktopServices>
#include <QEvent>
#include <QHash>
#include <QSet>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QStandardItem>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <atomic>
#include <cstring>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "LineEdits.h"
#include "QtZeltItemModel.h"
#include "Validators.h"
#include "vela.h"

Q_LOGGING_CATEGORY(lcZeltPanel, "zelt.panel")

namespace {
std::atomic<QtZelt *> g_pPanel{nullptr};

// Tables up to this size show each online and offline event at once;
// larger ones gather the events of up to kOnlineBatchMs.
constexpr int kImmediateRows = 1000;
constexpr int kOnlineBatchMs = 40;

constexpr int kStateRole = QtZeltItemModel::StateRole;

using Col = QtZeltItemModel::Column;

// Offsets of the text fields the arrival check measures.
constexpr std::size_t kCheckedTextOffsets[] = {0, 12, 60, 80, 96, 128, 176, 224};

// A record is dropped when none of the measured text fields ends within
// 64 characters. Each length is bounded by the end of the record, so a
// record without terminators is never read past its 500 bytes.
bool PassesArrivalCheck(const ZELT_DEVICE_EVENT &ev)
{
    const char *base = reinterpret_cast<const char *>(&ev);
    for (std::size_t off : kCheckedTextOffsets) {
        if (::strnlen(base + off, sizeof ev - off) < 64)
            return true;
    }
    return false;
}

QString YesNo(bool b)
{
    return b ? QCoreApplication::translate("QtZelt", "Yes") : QCoreApplication::translate("QtZelt", "No");
}
} // namespace

void OnDeviceEvent(const ZELT_DEVICE_EVENT *pEvent, int iContext)
{
    Q_UNUSED(iContext);
    QtZelt *panel = g_pPanel.load(std::memory_order_acquire);
    if (!pEvent || !panel)
        return;
    panel->HandleEvent(*pEvent);
}

QtZelt *QtZelt::Instance()
{
    return g_pPanel.load(std::memory_order_acquire);
}

QtZelt::QtZelt(QWidget *parent, TBX_ModifyNetParamFunc pModify, TBX_ResetPasswordFunc pReset,
               TBX_RefreshFunc pRefresh)
    : QWidget(parent)
    , m_pModify(pModify)
    , m_pReset(pReset)
    , m_pRefresh(pRefresh)
{
    ui.setupUi(this);
    SetUpFields();

    m_pModel = new QtZeltItemModel(ui.tableWidgetDevice);
    ui.tableWidgetDevice->setModel(m_pModel);
    ui.tableWidgetDevice->setUniformRowHeights(true);
    ui.tableWidgetDevice->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui.tableWidgetDevice->setSelectionBehavior(QAbstractItemView::SelectRows);

    m_pRunner = new CZeltBatchRunner(this);

    m_pOnlineTimer = new QTimer(this);
    m_pOnlineTimer->setSingleShot(true);
    connect(m_pOnlineTimer, &QTimer::timeout, this, &QtZelt::FlushOnlineEvents);
    m_pOfflineTimer = new QTimer(this);
    m_pOfflineTimer->setSingleShot(true);
    connect(m_pOfflineTimer, &QTimer::timeout, this, &QtZelt::FlushOfflineEvents);

    ZeltRecords::registerMetaTypes();
    MakeConnections();

    m_pLock = Vela_CreateMutex(1);
    g_pPanel.store(this, std::memory_order_release);

    QHeaderView *header = ui.tableWidgetDevice->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(0, Qt::AscendingOrder);
    // Address columns are widened when the font would cut a full address.
    const int addressWidth =
        ui.tableWidgetDevice->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 12;
    for (int c = 0; c < QtZeltItemModel::ColumnCount; ++c) {
        int w = QtZeltItemModel::ColumnWidth(c);
        if (QtZeltItemModel::IsAddressColumn(c))
            w = qMax(w, addressWidth);
        if (w > 0)
            ui.tableWidgetDevice->setColumnWidth(c, w);
    }
    ui.lineEditIPv6Addr->setEnabled(false);
    ui.lineEditIPv6Gateway->setEnabled(false);
    ui.lineEditIPv6Mask->setEnabled(false);
    ui.m_pBtnExpand->show();
    ui.m_pBtnShrink->hide();

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
    // The lock is left alive: a hub thread may still be inside the intake.
}

void QtZelt::Lock()
{
    Vela_LockMutex(m_pLock);
}

void QtZelt::Unlock()
{
    Vela_UnlockMutex(m_pLock);
}

void QtZelt::SetUpFields()
{
    ui.lineEditPort->setMaxLength(5);
    ui.lineEditPort->setValidator(new CIntValidator(2000, 65535, ui.lineEditPort));
    ui.lineEditPort->setToolTip(tr("Device port ranges from 2000 to 65535."));
    const QRegularExpression address(QStringLiteral("[0-9.]*"));
    ui.lineEditIPAddr->setValidator(new CRegExpValidator(39, address, ui.lineEditIPAddr));
    ui.lineEditIPMask->setValidator(new CRegExpValidator(39, address, ui.lineEditIPMask));
    ui.lineEditIPv6Mask->setValidator(new CIntValidator(0, 64, ui.lineEditIPv6Mask));
    ui.lineEditHttpPort->setMaxLength(5);
    ui.lineEditHttpPort->setValidator(new CIntValidator(1, 65535, ui.lineEditHttpPort));
    ui.lineEditHttpPort->setToolTip(tr("Http port ranges from 1 to 65535."));

    ui.lineEditPort_Password->setMaxLength(16);
    ui.m_pDefaultPwdLEdit->setMaxLength(32);
    ui.m_pDefaultPwdLEdit->setEchoMode(QLineEdit::Password);

    const QPixmap grey(QStringLiteral(":/images/ButtonIcon/grey.png"));
    ui.m_pLabelLevel1->setPixmap(grey);
    ui.m_pLabelLevel2->setPixmap(grey);
    ui.m_pLabelLevel3->setPixmap(grey);
    ui.edtNewPassword->setEchoMode(QLineEdit::Password);
    ui.edtConfirmPassword->setEchoMode(QLineEdit::Password);
}

void QtZelt::CompleteStart()
{
    m_bStarted = true;
    if (m_pRefresh)
        m_pRefresh();
    SetEditingEnabled(false);
    ui.widgetBatch->hide();
    ui.combImportFile->SetMode(CPathComboBox::OpenFile);
    ui.combExportFile->SetMode(CPathComboBox::Folder);
    connect(ui.btnImport, &QPushButton::clicked, this, &QtZelt::OnImport);
    connect(ui.btnExport, &QPushButton::clicked, this, &QtZelt::OnExport);
    ui.tableWidgetDevice->setColumnHidden(Col::ColNew, true);

    // Key-file controls hidden, the rest of the password section shown.
    for (QWidget *w : {static_cast<QWidget *>(ui.combExportFile), static_cast<QWidget *>(ui.btnExport),
                       static_cast<QWidget *>(ui.combImportFile), static_cast<QWidget *>(ui.btnImport)})
        w->hide();
    ui.edtNewPassword->setToolTip(
        tr("Valid password range [8-16]. You can use a combination of numbers, \nlowercase, uppercase and "
           "special character for \nyour password with at least two kinds of them contained."));
    ui.edtNewPassword->setMaxLength(16);
    ui.edtConfirmPassword->setMaxLength(16);
}

void QtZelt::MakeConnections()
{
    CTableView *table = ui.tableWidgetDevice;
    QHeaderView *header = table->header();
    connect(m_pModel, &QAbstractItemModel::dataChanged, this, &QtZelt::ResetData);
    connect(header, &QHeaderView::sectionMoved, this, &QtZelt::OnHeaderCountChanged);
    connect(header, &QHeaderView::sectionPressed, this, &QtZelt::OnHeaderPress);
    connect(table, &QAbstractItemView::doubleClicked, this, &QtZelt::OnClickAction);
    connect(table, &CTableView::SignalClickRelease, this, &QtZelt::OnDeviceTableClicked);
    connect(table->selectionModel(), &QItemSelectionModel::currentChanged, this, &QtZelt::OnItemChanged);
    connect(header, &QHeaderView::sectionClicked, this, &QtZelt::SortTable);
    connect(ui.pushButtonManualUpdate, &QPushButton::clicked, this, &QtZelt::OnManualUpdate);
    connect(ui.m_pBtnExpand, &QToolButton::clicked, this, &QtZelt::OnClickExpandBtn);
    connect(ui.m_pBtnShrink, &QToolButton::clicked, this, &QtZelt::OnClickShrinkBtn);
    connect(ui.pushButtonModifyNetwork, &QPushButton::clicked, this, &QtZelt::OnModifyNetPara);
    connect(ui.pushButtonModifyPassword, &QPushButton::clicked, this, &QtZelt::OnDefaultPassword);
    connect(ui.checkBoxDhcp, &QCheckBox::stateChanged, this, &QtZelt::OnDchpChanged);
    connect(ui.checkBoxBatchDhcp, &QCheckBox::stateChanged, this, &QtZelt::OnBatchDchpChanged);
    connect(ui.btbExcel, &QPushButton::clicked, this, &QtZelt::saveExcel);
    connect(ui.pushButtonModifyBatchNetwork, &QPushButton::clicked, this, &QtZelt::batchEnableDHCP);
    connect(ui.edtNewPassword, &QLineEdit::textChanged, this, &QtZelt::OnNewPasswordTextChanged);

    connect(this, &QtZelt::DeviceOnlineSignal, this, &QtZelt::OnDeviceOnline);
    connect(this, &QtZelt::DeviceOfflineSignal, this, &QtZelt::OnDeviceOffline);
    connect(this, &QtZelt::DeviceUpdateSignal, this, &QtZelt::OnDeviceUpdate);
}

// ------------------------------------------------------------ intake

void QtZelt::HandleEvent(const ZELT_DEVICE_EVENT &ev)
{
    if (!PassesArrivalCheck(ev))
        return;
    switch (ev.iEventKind) {
    case 1:
    case 4: {
        qCDebug(lcZeltPanel) << "online" << ZeltRecords::text(ev.szIPv4Address)
                             << ZeltRecords::text(ev.szSerialNO) << ZeltRecords::text(ev.szMAC);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        // The signal is emitted under the panel lock, and the slots read
        // their copy of it under the lock: the lock orders the copy made
        // here before every read on the GUI thread.
        PanelLocker lock(this);
        m_deviceList.append(info);
        // During the shell's replay the signal is delivered directly and the
        // row must exist when the call returns.
        const bool direct = QThread::currentThread() == thread();
        if (direct)
            m_bDirectIntake = true;
        emit DeviceOnlineSignal(info);
        if (direct)
            m_bDirectIntake = false;
        break;
    }
    case 2: {
        qCDebug(lcZeltPanel) << "update" << ZeltRecords::text(ev.szIPv4Address);
        const ZELT_DEVICE_INFO_MY info = ZeltRecords::buildDeviceInfo(ev);
        {
            PanelLocker lock(this);
            emit DeviceUpdateSignal(info);
        }
        qCDebug(lcZeltPanel) << "update sent" << ZeltRecords::text(ev.szIPv4Address)
                             << ZeltRecords::text(ev.szSerialNO) << ZeltRecords::text(ev.szMAC);
        break;
    }
    case 3: {
        const QString serial = ZeltRecords::text(ev.szSerialNO);
        const QString mac = ZeltRecords::text(ev.szMAC);
        qCDebug(lcZeltPanel) << "offline" << ZeltRecords::text(ev.szIPv4Address) << serial << mac;
        PanelLocker lock(this);
        emit DeviceOfflineSignal(serial, mac);
        break;
    }
    default:
        break;
    }
}

QList<ZELT_DEVICE_INFO_MY> QtZelt::DeviceList()
{
    PanelLocker lock(this);
    return m_deviceList;
}

int QtZelt::FindRecord(const QString &serial, const QString &mac, int limit) const
{
    const int n = qMin(limit, int(m_deviceList.size()));
    for (int i = 0; i < n; ++i) {
        const ZELT_DEVICE_INFO_MY &r = m_deviceList.at(i);
        if (ZeltRecords::text(r.szSerialNO) == serial && ZeltRecords::text(r.szMAC) == mac)
            return i;
    }
    return -1;
}

// ------------------------------------------------------------ table

void QtZelt::FillRow(QStandardItem *const items[], int row, const ZELT_DEVICE_INFO_MY &d)
{
    using namespace ZeltRecords;
    if (items[Col::ColId]->text().isEmpty())
        items[Col::ColId]->setText(QString::asprintf("%03d", row + 1));
    items[Col::ColDeviceType]->setText(text(d.szDeviceType));
    items[Col::ColIPv4]->setText(text(d.szIPv4Address));
    items[Col::ColMask]->setText(text(d.szIPv4SubnetMask));
    items[Col::ColPort]->setText(QString::asprintf("%5d", int(d.dwPort)));
    items[Col::ColSerial]->setText(text(d.szSerialNO));
    items[Col::ColHttpPort]->setText(d.dwHttpPort > 0 && d.dwHttpPort < 65536 ? QString::number(d.dwHttpPort)
                                                                               : QStringLiteral("N/A"));
    items[Col::ColMac]->setText(text(d.szMAC));
    items[Col::ColChannels]->setText(QString::asprintf("%2d", int(d.dwChannels)));
    items[Col::ColSoftVersion]->setText(text(d.szSoftwareVersion));
    items[Col::ColDspVersion]->setText(text(d.szDSPVersion));
    items[Col::ColStartTime]->setText(text(d.szStartTime));
    items[Col::ColSafety]->setText(d.byActivated ? tr("Inactive") : tr("Active"));
    items[Col::ColSafety]->setData(d.byActivated != 0, kStateRole);

    if (d.byExtendInfo == 0) {
        items[Col::ColGateway]->setText(QString());
        for (int c = Col::ColIPv6; c <= Col::ColNew; ++c) {
            items[c]->setText(QString());
            items[c]->setData(QVariant(), kStateRole);
        }
    } else if (d.byExtendInfo == 1) {
        items[Col::ColGateway]->setText(text(d.szIPv4Gateway));
        items[Col::ColIPv6]->setText(text(d.szIPv6Address));
        items[Col::ColIPv6Gateway]->setText(text(d.szIPv6Gateway));
        items[Col::ColIPv6Prefix]->setText(QString::asprintf("%2d", int(d.byIPv6PrefixLen)));
        items[Col::ColSupportIPv6]->setText(YesNo(d.bySupport & 0x01));
        items[Col::ColSupportIPv6]->setData(bool(d.bySupport & 0x01), kStateRole);
        items[Col::ColSupportDhcp]->setData(bool(d.bySupport & 0x04), kStateRole);
        items[Col::ColNew]->setData(bool(d.bySupport & 0x20), kStateRole);
        items[Col::ColSupportModIPv6]->setData(bool(d.bySupport & 0x02), kStateRole);
        if (!(d.bySupport & 0x01)) {
            items[Col::ColIPv6]->setText(QString());
            items[Col::ColIPv6Gateway]->setText(QString());
            items[Col::ColIPv6Prefix]->setText(QString());
        }
        items[Col::ColSupportDhcp]->setText(YesNo(d.bySupport & 0x04));
        items[Col::ColNew]->setText(YesNo(d.bySupport & 0x20));
        items[Col::ColSupportModIPv6]->setText(YesNo(d.bySupport & 0x02));
        items[Col::ColDhcp]->setText(d.byDhcp == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }

    for (int c = 0; c < QtZeltItemModel::ColumnCount; ++c)
        items[c]->setEditable(false);
    items[Col::ColSerial]->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
}

void QtZelt::ShowCount()
{
    ui.m_pLabelCount->setText(QString::number(m_pModel->rowCount()));
}

void QtZelt::OnDeviceOnline(const ZELT_DEVICE_INFO_MY &info)
{
    FlushOfflineEvents();
    PanelLocker lock(this);
    m_pendingOnline.append(info);
    if (m_bDirectIntake || m_pModel->rowCount() + m_pendingOnline.size() <= kImmediateRows) {
        FlushOnlineEvents();
        return;
    }
    if (!m_pOnlineTimer->isActive())
        m_pOnlineTimer->start(kOnlineBatchMs);
}

void QtZelt::FlushOnlineEvents()
{
    if (m_pendingOnline.isEmpty())
        return;
    PanelLocker lock(this);
    m_pOnlineTimer->stop();
    const QList<ZELT_DEVICE_INFO_MY> pending = std::move(m_pendingOnline);
    m_pendingOnline.clear();
    for (const ZELT_DEVICE_INFO_MY &info : pending) {
        QList<QStandardItem *> row;
        row.reserve(QtZeltItemModel::ColumnCount);
        for (int c = 0; c < QtZeltItemModel::ColumnCount; ++c)
            row.append(QtZeltItemModel::NewCell(c));
        // Filled before insertion so that the view hears of the row once.
        FillRow(row.constData(), m_pModel->rowCount(), info);
        m_pModel->appendRow(row);
        ++m_iDebugCounter;
        qCDebug(lcZeltPanel) << "===ws===" << m_iDebugCounter;
    }
    ShowCount();
}

void QtZelt::OnDeviceOffline(const QString &serial, const QString &mac)
{
    FlushOnlineEvents();
    PanelLocker lock(this);
    m_pendingOffline.append({serial, mac});
    if (m_pModel->rowCount() > kImmediateRows) {
        // Each pass walks and renumbers the whole table: gather first.
        if (!m_pOfflineTimer->isActive())
            m_pOfflineTimer->start(kOnlineBatchMs);
    } else if (!m_bFlushQueued) {
        m_bFlushQueued = true;
        // Queued behind the offline events already waiting, so that one pass
        // removes them all.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bFlushQueued = false;
                FlushOfflineEvents();
            },
            Qt::QueuedConnection);
    }
}

void QtZelt::FlushOfflineEvents()
{
    if (m_pendingOffline.isEmpty())
        return;
    PanelLocker lock(this);
    m_pOfflineTimer->stop();
    const QList<QPair<QString, QString>> pending = std::move(m_pendingOffline);
    m_pendingOffline.clear();

    const int n = m_pModel->rowCount();
    if (n == 0)
        return;

    const QSet<QPair<QString, QString>> gone(pending.cbegin(), pending.cend());

    // Device list: every record of a device that went offline goes with its
    // rows, so that no stale copy feeds the editing panel later. Only the
    // first n records have rows yet; later ones wait for their online signal.
    const int limit = qMin(n, int(m_deviceList.size()));
    QList<ZELT_DEVICE_INFO_MY> kept;
    kept.reserve(m_deviceList.size());
    for (int i = 0; i < m_deviceList.size(); ++i) {
        const ZELT_DEVICE_INFO_MY &r = m_deviceList.at(i);
        if (i < limit && gone.contains({ZeltRecords::text(r.szSerialNO), ZeltRecords::text(r.szMAC)}))
            continue;
        kept.append(r);
    }
    if (kept.size() != m_deviceList.size())
        m_deviceList = std::move(kept);

    // Table: every row of a device that went offline goes.
    QList<int> keep;
    keep.reserve(n);
    for (int r = 0; r < n; ++r) {
        const QStandardItem *s = m_pModel->item(r, Col::ColSerial);
        const QStandardItem *m = m_pModel->item(r, Col::ColMac);
        if (!(s && m && gone.contains({s->text(), m->text()})))
            keep.append(r);
    }
    m_pModel->KeepRows(keep);

    // IDs 001..n in table order, announced to the view once.
    const int rows = m_pModel->rowCount();
    int firstChanged = -1;
    int lastChanged = -1;
    {
        const QSignalBlocker block(m_pModel);
        for (int r = 0; r < rows; ++r) {
            QStandardItem *id = m_pModel->item(r, Col::ColId);
            const QString want = QString::asprintf("%03d", r + 1);
            if (id && id->text() != want) {
                id->setText(want);
                if (firstChanged < 0)
                    firstChanged = r;
                lastChanged = r;
            }
        }
    }
    if (firstChanged >= 0)
        emit m_pModel->dataChanged(m_pModel->index(firstChanged, Col::ColId),
                                   m_pModel->index(lastChanged, Col::ColId));

    m_iDebugCounter -= int(pending.size());
    qCDebug(lcZeltPanel) << "===ws===" << m_iDebugCounter;
    ShowCount();
}

void QtZelt::OnDeviceUpdate(const ZELT_DEVICE_INFO_MY &info)
{
    FlushOfflineEvents();
    FlushOnlineEvents();
    PanelLocker lock(this);
    const QString serial = ZeltRecords::text(info.szSerialNO);
    const QString mac = ZeltRecords::text(info.szMAC);
    const int n = m_pModel->rowCount();
    const int rec = FindRecord(serial, mac, n);
    if (rec >= 0)
        m_deviceList[rec] = info;

    int row = -1;
    for (int r = 0; r < n; ++r) {
        if (m_pModel->item(r, Col::ColSerial)->text() == serial && m_pModel->item(r, Col::ColMac)->text() == mac) {
            row = r;
            break;
        }
    }
    if (row < 0)
        return;
    QStandardItem *items[QtZeltItemModel::ColumnCount];
    for (int c = 0; c < QtZeltItemModel::ColumnCount; ++c) {
        items[c] = m_pModel->item(row, c);
        if (!items[c]) {
            items[c] = QtZeltItemModel::NewCell(c);
            m_pModel->setItem(row, c, items[c]);
        }
    }
    FillRow(items, row, info);
    CTableView *table = ui.tableWidgetDevice;
    if (table->currentIndex().row() == row && table->selectionModel()->selectedRows().size() == 1)
        FillPanel(row);
}

void QtZelt::SortTable(int column)
{
    FlushOfflineEvents();
    FlushOnlineEvents();
    QHeaderView *header = ui.tableWidgetDevice->header();
    header->setSortIndicatorShown(true);
    ui.tableWidgetDevice->sortByColumn(column, header->sortIndicatorOrder());
}

void QtZelt::OnHeaderPress(int section)
{
    QHeaderView *header = ui.tableWidgetDevice->header();
    if (section != 0) {
        header->setSectionsMovable(true);
        m_headerState = header->saveState();
    } else {
        header->setSectionsMovable(false);
    }
}

void QtZelt::OnHeaderCountChanged(int logical, int oldVisual, int newVisual)
{
    Q_UNUSED(logical);
    // The "ID" column stays first: a move from or onto the first place is
    // undone.
    if ((oldVisual == 0 || newVisual == 0) && !m_headerState.isEmpty())
        ui.tableWidgetDevice->header()->restoreState(m_headerState);
}

void QtZelt::OnClickAction(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    if (index.column() == Col::ColIPv4) {
        const QString address = index.data().toString();
        const QString port = m_pModel->index(index.row(), Col::ColHttpPort).data().toString().trimmed();
        QString url = QStringLiteral("http://") + address + QLatin1Char(':') + port;
        qCDebug(lcZeltPanel) << "open device page" << url;
        // A device without an HTTP port ("N/A") is opened on the default port:
        // an address with a non-numeric port is not a URL any browser opens.
        bool numeric = false;
        port.toUInt(&numeric);
        if (!numeric)
            url = QStringLiteral("http://") + address;
        QDesktopServices::openUrl(QUrl(url));
    } else if (index.column() == Col::ColSerial) {
        m_strRememberedSerial = index.data().toString();
        m_rememberedSerialCell = index;
    }
}

void QtZelt::ResetData(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (m_strRememberedSerial.isNull() || !m_rememberedSerialCell.isValid())
        return;
    // Only the cell that was opened for editing gets its text back; other
    // rows that change meanwhile (device updates) keep theirs.
    const QModelIndex cell = m_rememberedSerialCell;
    if (cell.row() < topLeft.row() || cell.row() > bottomRight.row() || cell.column() < topLeft.column()
        || cell.column() > bottomRight.column())
        return;
    const QString text = m_strRememberedSerial;
    m_strRememberedSerial = QString();
    m_rememberedSerialCell = QPersistentModelIndex();
    if (QStandardItem *item = m_pModel->itemFromIndex(cell); item && item->text() != text)
        item->setText(text);
}

void QtZelt::OnClickExpandBtn()
{
    ui.m_pBtnExpand->hide();
    ui.m_pBtnShrink->show();
    ui.m_pSetFrame->hide();
}

void QtZelt::OnClickShrinkBtn()
{
    ui.m_pBtnShrink->hide();
    ui.m_pBtnExpand->show();
    ui.m_pSetFrame->show();
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
    FlushOfflineEvents();
    FlushOnlineEvents();
    PanelLocker lock(this);
    CTableView *table = ui.tableWidgetDevice;
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        SetEditingEnabled(false);
    } else if (rows.size() > 1) {
        m_bBatchLabels = true;
        ApplyModeTexts();
        SetMultiMode(rows);
    } else {
        m_bBatchLabels = false;
        ApplyModeTexts();
        SetEditingEnabled(true);
        FillPanel(rows.first().row());
        m_singleSelection = rows.first();
    }
}

void QtZelt::OnItemChanged(const QModelIndex &current, const QModelIndex &previous)
{
    Q_UNUSED(previous);
    if (!current.isValid())
        return;
    PanelLocker lock(this);
    SetEditingEnabled(true);
    FillPanel(current.row());
}

void QtZelt::SetEditingEnabled(bool bOn)
{
    QWidget *const widgets[] = {ui.lineEditSerial,     ui.lineEditIPAddr,     ui.lineEditIPMask,
                                ui.lineEditPort,       ui.lineEditPort_Password, ui.m_pDefaultPwdLEdit,
                                ui.edtNewPassword,     ui.edtConfirmPassword, ui.pushButtonModifyPassword,
                                ui.lineEditIPGateway,  ui.lineEditHttpPort,   ui.widgetBatch,
                                ui.checkBoxDhcp,       ui.combExportFile,     ui.btnExport,
                                ui.combImportFile,     ui.btnImport};
    for (QWidget *w : widgets)
        w->setEnabled(bOn);
    if (bOn)
        return;
    for (QLineEdit *e : {ui.lineEditSerial, ui.lineEditIPAddr, ui.lineEditIPMask, ui.lineEditPort,
                         static_cast<QLineEdit *>(ui.lineEditPort_Password), ui.m_pDefaultPwdLEdit,
                         ui.edtNewPassword, ui.edtConfirmPassword, ui.lineEditHttpPort, ui.lineEditIPv6Addr,
                         ui.lineEditIPv6Gateway, ui.lineEditIPv6Mask})
        e->clear();
    ui.lineEditIPv6Addr->setEnabled(false);
    ui.lineEditIPv6Gateway->setEnabled(false);
    ui.lineEditIPv6Mask->setEnabled(false);
    ui.combExportFile->clear();
    ui.combImportFile->clear();
}

void QtZelt::SetNetworkControlsEnabled(bool bOn)
{
    QWidget *const widgets[] = {ui.lineEditIPAddr,        ui.lineEditIPMask,          ui.lineEditPort,
                                ui.lineEditPort_Password, ui.lineEditIPGateway,       ui.lineEditIPv6Addr,
                                ui.lineEditIPv6Gateway,   ui.lineEditIPv6Mask,        ui.pushButtonModifyNetwork,
                                ui.pushButtonModifyPassword, ui.m_pDefaultPwdLEdit,   ui.edtNewPassword,
                                ui.edtConfirmPassword,    ui.combExportFile,          ui.btnExport,
                                ui.combImportFile,        ui.btnImport};
    for (QWidget *w : widgets)
        w->setEnabled(bOn);
}

void QtZelt::SetSingleMode()
{
    ui.label_5->show();
    ui.frame_4->show();
    ui.lineEditSerial->show();
    ui.checkBoxDhcp->show();
    ui.widgetBatch->hide();
}

void QtZelt::SetMultiMode(const QModelIndexList &rows)
{
    ui.label_5->hide();
    ui.frame_4->hide();
    ui.lineEditSerial->hide();
    ui.checkBoxDhcp->hide();
    ui.widgetBatch->show();
    ui.widgetBatch->setEnabled(true);

    // Activation controls in activation mode.
    ZELT_DEVICE_INFO_MY inactive;
    std::memset(&inactive, 0, sizeof inactive);
    inactive.byActivated = 1;
    UpdatePasswordSection(inactive);

    for (QLineEdit *e : {ui.lineEditIPAddr, ui.lineEditIPMask, ui.lineEditPort,
                         static_cast<QLineEdit *>(ui.lineEditPort_Password), ui.lineEditIPGateway,
                         ui.lineEditHttpPort, ui.m_pDefaultPwdLEdit, ui.edtNewPassword, ui.edtConfirmPassword,
                         static_cast<QLineEdit *>(ui.lineEditPort_BatchPassword),
                         // A run never changes IPv6 settings: show none rather than the last device's.
                         ui.lineEditIPv6Addr, ui.lineEditIPv6Gateway, ui.lineEditIPv6Mask})
        e->clear();
    ui.lineEditIPv6Addr->setEnabled(false);
    ui.lineEditIPv6Gateway->setEnabled(false);
    ui.lineEditIPv6Mask->setEnabled(false);

    bool editableType = false;
    bool extended = false;
    bool dhcp = false;
    for (const QModelIndex &idx : rows) {
        const int r = idx.row();
        const QString serial = m_pModel->index(r, Col::ColSerial).data().toString();
        const QString mac = m_pModel->index(r, Col::ColMac).data().toString();
        const int rec = FindRecord(serial, mac, int(m_deviceList.size()));
        if (rec < 0)
            continue;
        const ZELT_DEVICE_INFO_MY &d = m_deviceList.at(rec);
        editableType = editableType || !IsLockedType(d.dwDeviceType);
        extended = extended || d.byExtendInfo == 1;
        if (editableType && extended)
            break; // the device that stops the examination does not count for DHCP
        dhcp = dhcp || d.byDhcp != 0;
    }
    for (QWidget *w : {static_cast<QWidget *>(ui.lineEditIPAddr), static_cast<QWidget *>(ui.lineEditIPMask),
                       static_cast<QWidget *>(ui.lineEditPort), static_cast<QWidget *>(ui.lineEditPort_Password),
                       static_cast<QWidget *>(ui.pushButtonModifyNetwork)})
        w->setEnabled(editableType);
    ui.lineEditIPGateway->setEnabled(extended);
    ui.checkBoxDhcp->setChecked(dhcp);
    OnBatchDchpChanged(ui.checkBoxBatchDhcp->checkState());
}

void QtZelt::FillPanel(int row)
{
    SetSingleMode();
    if (row < 0 || row >= m_deviceList.size())
        return;
    const QString serial = m_pModel->index(row, Col::ColSerial).data().toString();
    const QString mac = m_pModel->index(row, Col::ColMac).data().toString();
    const int rec = FindRecord(serial, mac, int(m_deviceList.size()));
    const ZELT_DEVICE_INFO_MY d = m_deviceList.at(rec >= 0 ? rec : row);
    const bool locked = IsLockedType(d.dwDeviceType);

    SetNetworkControlsEnabled(!locked);

    using namespace ZeltRecords;
    ui.lineEditSerial->setText(text(d.szSerialNO));
    ui.lineEditSerial->setCursorPosition(0);
    m_strPanelMac = text(d.szMAC);
    ui.lineEditIPAddr->setText(text(d.szIPv4Address));
    ui.lineEditIPMask->setText(text(d.szIPv4SubnetMask));
    ui.lineEditPort->setText(QString::number(d.dwPort));
    ui.lineEditIPGateway->setText(text(d.szIPv4Gateway));
    ui.lineEditIPv6Addr->setText(text(d.szIPv6Address));
    ui.lineEditIPv6Gateway->setText(text(d.szIPv6Gateway));
    ui.lineEditIPv6Mask->setText(QString::number(d.byIPv6PrefixLen));
    ui.lineEditHttpPort->setText(QString::number(d.dwHttpPort));
    ui.lineEditHttpPort->setEnabled(d.dwHttpPort > 0 && d.dwHttpPort < 65536 && !locked);
    ui.checkBoxDhcp->setChecked(d.byDhcp != 0);

    QLineEdit *const ipv6[] = {ui.lineEditIPv6Addr, ui.lineEditIPv6Gateway, ui.lineEditIPv6Mask};
    if (d.byExtendInfo == 0) {
        ui.lineEditIPGateway->clear();
        ui.lineEditIPGateway->setEnabled(false);
        for (QLineEdit *e : ipv6) {
            e->clear();
            e->setEnabled(false);
        }
    } else if (d.byExtendInfo == 1) {
        if (!(d.bySupport & 0x01)) {
            for (QLineEdit *e : ipv6) {
                e->clear();
                e->setEnabled(false);
            }
        }
        const bool modIPv6 = (d.bySupport & 0x02) && !locked;
        for (QLineEdit *e : ipv6)
            e->setEnabled(modIPv6);
    }

    // With DHCP on the device takes its IPv4 settings from the network. A
    // locked device type keeps its fields locked whatever the DHCP state.
    const bool manual = !ui.checkBoxDhcp->isChecked() && !locked;
    ui.lineEditIPAddr->setEnabled(manual);
    ui.lineEditIPMask->setEnabled(manual);
    ui.lineEditIPGateway->setEnabled(manual && d.byExtendInfo != 0);

    UpdatePasswordSection(d);
}

void QtZelt::UpdatePasswordSection(const ZELT_DEVICE_INFO_MY &d)
{
    const bool inactive = d.byActivated != 0;
    m_bActivationMode = inactive;
    ui.label_17->setVisible(!inactive);
    ui.m_pDefaultPwdLEdit->setVisible(!inactive);
    m_ePasswordTitle = inactive ? PasswordTitle::Activate : PasswordTitle::RestoreDefault;

    QWidget *const newPassword[] = {ui.label_2, ui.edtNewPassword, ui.m_pLabelLevel, ui.m_pLabelLevel1,
                                    ui.m_pLabelLevel2, ui.m_pLabelLevel3, ui.label_3, ui.edtConfirmPassword};
    QWidget *const keyFiles[] = {ui.combExportFile, ui.btnExport, ui.combImportFile, ui.btnImport};
    auto show = [](QWidget *const *ws, int n, bool on) {
        for (int i = 0; i < n; ++i)
            ws[i]->setVisible(on);
    };
    if (inactive) {
        show(newPassword, 8, true);
        ui.pushButtonModifyPassword->show();
        show(keyFiles, 4, false);
    } else if (d.bySupport & 0x40) {
        m_ePasswordTitle = PasswordTitle::ResetPassword;
        ui.label_17->hide();
        ui.m_pDefaultPwdLEdit->hide();
        show(newPassword, 8, true);
        show(keyFiles, 4, true);
    } else if (d.bySupport & 0x20) {
        show(newPassword, 8, false);
        ui.label_17->hide();
        ui.m_pDefaultPwdLEdit->hide();
        ui.pushButtonModifyPassword->hide();
        show(keyFiles, 4, true);
    } else {
        show(newPassword, 8, false);
        show(keyFiles, 4, false);
        ui.pushButtonModifyPassword->show();
    }
    ApplyModeTexts();
}

// The texts that follow the selection, set again after a language change.
void QtZelt::ApplyModeTexts()
{
    ui.label_7->setText(m_bBatchLabels ? tr("Start IP Address:") : tr("IP Address:"));
    ui.label_162->setText(m_bBatchLabels ? tr("Batch Modify Network parameters") : tr("Modify Network parameters"));
    switch (m_ePasswordTitle) {
    case PasswordTitle::Activate:
        ui.label_163->setText(tr("Activate device"));
        break;
    case PasswordTitle::ResetPassword:
        ui.label_163->setText(tr("Reset Password"));
        break;
    case PasswordTitle::RestoreDefault:
        ui.label_163->setText(tr("Reset Default Password"));
        break;
    }
}

void QtZelt::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange) {
        ui.retranslateUi(this);
        ApplyModeTexts();
        m_pModel->RetranslateHeaders();
        const QSignalBlocker block(m_pModel);
        for (int r = 0; r < m_pModel->rowCount(); ++r) {
            for (int c : {int(Col::ColSafety), int(Col::ColSupportIPv6), int(Col::ColSupportModIPv6),
                          int(Col::ColSupportDhcp), int(Col::ColNew)}) {
                QStandardItem *item = m_pModel->item(r, c);
                const QVariant state = item ? item->data(kStateRole) : QVariant();
                if (!state.isValid())
                    continue;
                if (c == Col::ColSafety)
                    item->setText(state.toBool() ? tr("Inactive") : tr("Active"));
                else
                    item->setText(YesNo(state.toBool()));
            }
        }
        if (m_pModel->rowCount() > 0)
            emit m_pModel->dataChanged(m_pModel->index(0, 0),
                                       m_pModel->index(m_pModel->rowCount() - 1, QtZeltItemModel::ColumnCount - 1));
        if (m_bStarted)
            ui.edtNewPassword->setToolTip(
                tr("Valid password range [8-16]. You can use a combination of numbers, \nlowercase, uppercase "
                   "and special character for \nyour password with at least two kinds of them contained."));
        ui.lineEditPort->setToolTip(tr("Device port ranges from 2000 to 65535."));
        ui.lineEditHttpPort->setToolTip(tr("Http port ranges from 1 to 65535."));
    }
    QWidget::changeEvent(e);
}
