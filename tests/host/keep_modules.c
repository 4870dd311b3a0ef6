/* Preloaded into the host by the scanner tests: dlclose does nothing, so that
 * SANE's backends stay mapped until the process ends and LeakSanitizer can
 * name the library that a leak comes from (of an unloaded library it can only
 * say "unknown module", which no suppression can match). */
int dlclose(void* handle) {
    (void)handle;
    return 0;
}
