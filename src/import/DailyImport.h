#pragma once
// SHUDOU: the daily import of every all-market file in the inbox (DataDir + "tmp").
#include "common/BatchWriter.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace velor {

struct State;
struct Services;

/// Imports the inbox files in name order (at most 100), each a plain or LZH-packed all-market
/// file: appends the day to every listed stock's price file with the weekly and monthly
/// roll-up, inserts new listings and records section changes in meigara.dat and VELOR.log.
/// All the days go into one pass that reads and writes each price file once; each inbox file
/// is removed once its day is written. When DownloadState is -1 (started by the automatic
/// download) the message pane is not cleared. A pass left unfinished by an interrupted run
/// (see ImportJournal.h) is completed first. Returns false when the run ended on an error.
bool SHUDOU(State &st, Services &sv);
/// The same with the price files' batch written through `ops`.
bool runImport(State &st, Services &sv, BatchFileOps &ops);
/// At start-up, before anything reads the price files: finishes the days an interrupted import
/// left in its journal, as the next import would. The days finished (empty when there was no
/// journal); nothing when finishing failed (the message was shown, the journal kept).
std::optional<std::vector<int32_t>> finishInterruptedImport(State &st, Services &sv);

/// Refreshes LastTradeDate from the current stock's newest bar (daily, weekly or monthly).
void refreshLastTradeDate(State &st, Services &sv);

} // namespace velor
