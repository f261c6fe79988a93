#pragma once
// How the panel shows and handles what the SDK knows of a device's
// identity: the word, tool tip and icon of each trust level, what an action
// does with a device of each level, and readable reasons for the refusals
// that follow from it.

#include <QCoreApplication>
#include <QIcon>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

#include "ZeltDeviceRecords.h"

namespace ZeltTrust {

// What an action does with a device of this trust level before a secret
// goes to it: send it, send it only with the user's consent, or send
// nothing (the SDK refuses such devices).
enum class Handling { Send, Ask, Refuse };
Handling HandlingOf(uint8_t trust);

// "Verified", "Pinned", "Uncertified", "Ambiguous", "Untrusted" (values the
// SDK does not define read as untrusted), translated.
QString Word(uint8_t trust);
// The word and what it means, for the tool tip.
QString Tip(uint8_t trust);
// Green check, blue lock, amber warning, red cross, red bar: made once.
QIcon Icon(uint8_t trust);
// Table order: the best known identities first.
int Rank(uint8_t trust);

// A job's work for this device as its handling asks: the command alone;
// the consent call right before it (Ask, kept only after a Yes); or no
// command at all, failing with the SDK's refusal (Refuse).
std::function<bool()> GuardedWork(Handling handling, const ZELT_DEVICE_INFO_MY &d, std::function<bool()> command);

// Why a command failed, for the SDK's refusals that follow from a device's
// identity; empty for any other error.
QString FailureReason(uint32_t sdkError);
// The SDK's error for a device the panel refuses itself.
uint32_t RefusalError(uint8_t trust);

} // namespace ZeltTrust
