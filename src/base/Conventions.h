// The conventions of the platform the program is built for: how paths are
// written, how switches look, what the user expects to be told. They are
// facts of the build, declared here so that the pure text rules (Paths) can
// follow them, and defined by the platform layer (the Win32 and POSIX files).
#pragma once

namespace Platform {

// Path separator: '\' on Windows, '/' on POSIX.
extern const char16_t kSeparator;
// Characters after which a file name starts: "\\/" on Windows, "/" on POSIX.
extern const char16_t* const kNameSeparators;
// Switch prefix the program documents: "/" on Windows, "--" on POSIX.
extern const char16_t* const kSwitchPrefix;
// Whether a parameter starting with a single "/" is a switch (Windows) or a
// path (POSIX, where only "--" marks a switch).
extern const bool kSlashSwitches;
// Whether file names that differ only in letter case name one file (Windows).
extern const bool kNamesIgnoreCase;
// Whether paths are written the Windows way: drive letters ("C:\"), shares
// ("\\server\share"), a root without its drive ("\"), and file names that
// cannot hold <>:"/\|?* or control characters.
extern const bool kWindowsPaths;
// Whether extended-length path prefixes ("\\?\") exist.
extern const bool kLongPathPrefixes;
// Whether the program follows the Windows conventions towards its user (the
// usage in a box on "/?", 32-bit exit statuses, no diagnostics) rather than
// the POSIX ones ("--help" and "--version" on standard output, diagnostics on
// standard error).
extern const bool kWindowsConventions;

// Whether one folder value may hold several roots separated by "|" or CR LF
// (Windows, where no name holds them) or is always one path (POSIX).
extern const bool kRootLists;

}  // namespace Platform
