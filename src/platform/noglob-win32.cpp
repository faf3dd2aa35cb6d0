// The command line reaches main as typed: an argument holding "*" or "?" is
// not expanded into file names. mingw-w64's startup code asks msvcrt to glob
// when _dowildcard is nonzero; _CRT_glob is the older runtimes' name for the
// same switch, set too so that neither kind of runtime globs.
extern "C" {
int _dowildcard = 0;
int _CRT_glob = 0;
}
