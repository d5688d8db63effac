#pragma once

// The viewer's start-up sequence and main loop. Options: see ViewerOptions.h.
//
// Exit statuses: 0 when the main loop returns or a snapshot was written,
// 1 on the quit key or a bad argument, 2 without "GlowbakeView.ini",
// 3 for a malformed scene file, 4 when the snapshot cannot be written.
// Every failure is logged and also printed on standard error.
int startViewer(int argc, char** argv);
