// Ending on SIGINT, SIGTERM and SIGHUP without leaving half-done work or temporaries behind.
//
// A stop signal only notes that the program is to end. From then on every operation of the
// engine fails with WordInterrupted and a conversion in progress is abandoned, so the join
// stops at the next step with the output as the last finished step saved it; the program then
// cleans up as on any exit and ends by the signal. A second stop signal means the user will not
// wait: the temporaries beside the user's files are removed at once and the program ends.
#pragma once

namespace paperloom::engine {

/// Makes SIGINT, SIGTERM and SIGHUP (each unless it was ignored when the program started) ask
/// for a stop, and ignores SIGXFSZ so that a file size limit fails a write instead of ending
/// the program. Call once, early in main; later calls do nothing.
void installStopSignals();

/// The signal that asked for a stop, or 0.
[[nodiscard]] int stopSignal() noexcept;

/// A descriptor that becomes (and stays) readable once a stop is asked for, to wait on with
/// poll or an event loop; -1 before installStopSignals.
[[nodiscard]] int stopNotifier() noexcept;

/// Throws WordInterrupted, with a sentence naming the signal, once a stop was asked for.
void throwIfStopRequested();

/// After the caller has cleaned up: ends the program as the stop signal would have ended it, so
/// that whoever started it sees it end by that signal. Returns when no stop was asked for.
void endByStopSignal();

} // namespace paperloom::engine
