// The leak checker's defaults for a sanitized build of the host. The host
// unloads the plug-in while the plug-in's thread-local block is live; the
// checker's tracking of such blocks then keeps a stale one, and reading it at
// exit crashes the checker or not depending on the program's layout (a few
// bytes of code elsewhere are enough). The check goes without that tracking:
// no allocation is held by thread-local storage only, so it hides no leak.
// ASAN_OPTIONS given by the user still win.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
#endif
