#pragma once

// What the loadable module exports besides its three entry points: the base form class, the
// palette control and the form pointer.
#define KORVANE_EXPORT __attribute__((visibility("default")))
