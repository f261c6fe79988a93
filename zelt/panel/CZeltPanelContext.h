#pragma once
// What the parts of the device panel share: the form's widgets, the device
// store, the table model, the batch runner, and the small helpers every
// section uses to find a row's device and to talk to the user.

#include <QList>

#include "CZeltBatchRunner.h"
#include <QPersistentModelIndex>
#include <QString>

#include <cstdint>

#include "ZeltDeviceRecords.h"

class QWidget;
class Ui_QtZeltClass;
class CZeltDeviceStore;
class QtZeltItemModel;

// Device type codes whose settings the panel never changes.
constexpr uint32_t kZeltLockedTypeFirst = 0x9D00;
constexpr uint32_t kZeltLockedTypeLast = 0x9FFF;
inline bool IsZeltLockedType(uint32_t code)
{
    return code >= kZeltLockedTypeFirst && code <= kZeltLockedTypeLast;
}

struct CZeltPanelContext {
    QWidget *pPanel;
    Ui_QtZeltClass &ui;
    CZeltDeviceStore &store;
    QtZeltItemModel &model;
    CZeltBatchRunner &runner;
    // The row whose device the sections show while one row is selected
    // (invalid otherwise): the device single-device actions act on.
    QPersistentModelIndex shownRow;

    // Field errors: the text as a tool tip at the field's top-left corner;
    // the field gets the focus.
    void ShowFieldTip(QWidget *field, const QString &strText) const;
    // The plug-in's message box without buttons, parented to the panel.
    void ShowMessage(const QString &strTitle, const QString &strText) const;

    // The store position of the device shown in a table row (serial number
    // and MAC address), or -1. The store's lock is held by the caller.
    int RecordOfRow(int row) const;
    // The row's ID as the summaries list it: the number and one blank.
    QString IdOfRow(int row) const;
    // "<ID>   <serial number>   <address>", what the progress dialog names.
    static QString DeviceLabel(const QString &strId, const ZELT_DEVICE_INFO_MY &d);
    // One line per job of the runner's last run that failed for a reason
    // the user can act on ("ID 002: ..."), each line after a line break;
    // empty when there is none.
    QString FailureReasons(const QList<QString> &ids) const;
    // After an action's summary: the devices of the runner's last run that
    // were refused for a changed HTTPS certificate, offered for acceptance
    // in one question.
    void OfferNewCertificates(const QList<CZeltBatchRunner::Job> &jobs) const;
};
