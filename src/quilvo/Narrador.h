#pragma once
// Prints what the supervisor does (errors and progress, server builds, log
// lines, adoption) to standard output. Used by the demo and when Quilvo runs
// from a terminal with --narrar.
class AppState;

namespace Narrador {
void acompanhar(AppState *estado);
}
