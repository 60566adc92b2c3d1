// A loopback port that nothing listens on: bound for a moment to learn a
// free number, then closed again.
#pragma once

int closedPort();
