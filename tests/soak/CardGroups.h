// The ways the soak presents cards: one at a time, each after the page has shown the one
// before (so each must be shown exactly once), or several back to back with invalid
// reports between them (so they may coalesce).
#pragma once

#include "tests/soak/SoakSession.h"

// One card, shown before this returns.
void PresentSpacedCard(SoakSession& session);
// `cards` valid cards back to back, each after up to `invalidBetween` invalid reports.
void PresentBurst(SoakSession& session, int cards, int invalidBetween);
// One of the two, chosen at random.
void PresentSomeCards(SoakSession& session);
