// The sockets start-up check of the technician program: the system's
// sockets are usable when an IPv4 stream socket can be made.
#pragma once

bool socketsStartup();
