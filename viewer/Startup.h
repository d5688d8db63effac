#pragma once

// The viewer's start-up sequence and main loop. Arguments: none, or
// `--snapshot PATH.png` to write the first frame as a PNG and exit.
//
// Exit statuses: 0 when the main loop returns or a snapshot was written,
// 1 on the quit key or an unknown argument, 2 without "GlowbakeView.ini",
// 3 for a malformed scene file, 4 when the snapshot cannot be written.
int startViewer(int argc, char** argv);
