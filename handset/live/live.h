// `handset live`: the phone in a web page, in real time.
//
//   handset live [--port N] [--listen ADDR] [--screen 240x320|480x640]
//                [--contacts FILE.vcf] [--settings FILE.reg] [-o DIR]
//
// Prints the address to open and serves until Ctrl-C or the page's Stop;
// then the programs end and the session's timeline and script are written
// into DIR (out/live unless -o gives it).
#pragma once

namespace handset::live {

int LiveMain(int argc, char** argv); // argv[0] is "live"

} // namespace handset::live
