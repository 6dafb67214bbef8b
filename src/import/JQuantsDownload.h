#pragma once
// The evening update and the first fill from the exchange's data API (PriceSource=jquants).
// Each trading day becomes one all-market daily file in the inbox and goes through the program's
// own import (SHUDOU), in groups of up to kDaysPerImport days: the same journal, roll-up, pending
// days and messages as the site's files; nothing here writes a price file.
//
// - Days: the exchange's calendar between the newest stored day (or --since) and the newest day
//   the plan serves (the free plan lags 12 weeks). A day whose answer has no rows, or for which
//   TOPIX has no bar yet, is not served yet: the run ends there, without an error.
// - 1001 holds TOPIX, named so in the master; 1002 is not served by the API and stays as it is.
// - Before a group is imported its splits (AdjFactor ≠ 1) are recorded in split.dat; after it,
//   the master's names and segments name new listings and follow renamed stocks.
// - A stop keeps every day already fetched whole: those are imported, the rest waits for the
//   next run, which goes on after the newest stored day. A failed day (cut or malformed answer)
//   is not written; the days before it are imported and the run ends with an error.
#include <QString>
#include <cstdint>

namespace velor {

struct State;
struct Services;

namespace jq {
class PaceTimer;
}

/// Days imported in one pass of the import.
constexpr int kDaysPerImport = 20;

class Keyring;

/// The J-Quants key: JQUANTS_API_KEY when set, else the keyring's, else the key file's (see
/// ApiKey.h); empty when none holds one.
QByteArray jquantsKey(Keyring *keyring);

/// The download from the API. `since` (YYYYMMDD, 0: none) is the first day of a first fill; an
/// empty database without it starts 15 months before the newest day the plan serves.
/// Returns false when the run ended on an error (shown through sv.dialogs).
bool downloadFromJQuants(State &st, Services &sv, jq::PaceTimer &timer, const QByteArray &key, int32_t since);

/// F2 and `velor download` with either source: the site (JIDOU) or the API.
bool downloadPrices(State &st, Services &sv, int32_t since = 0);

} // namespace velor
