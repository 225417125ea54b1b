// Built into the helper in sanitizer builds only. pkexec clears the
// environment, so the options the tests set never reach the helper: they are
// built in instead. Nobody reads the helper's standard error once it has
// greeted its session, so reports go to files under the build tree, which the
// test command checks after the suite (see scripts/test).

#define QUORVANTIC_SANITIZER_LOG "log_path='" QUORVANTIC_SANITIZER_REPORTS "/quorvantic-helper'"

// The names are the sanitizer runtimes' hooks.
extern "C" const char *__asan_default_options() // NOLINT(bugprone-reserved-identifier)
{
    return "detect_leaks=1:" QUORVANTIC_SANITIZER_LOG;
}

extern "C" const char *__lsan_default_options() // NOLINT(bugprone-reserved-identifier)
{
    return QUORVANTIC_SANITIZER_LOG;
}

extern "C" const char *__ubsan_default_options() // NOLINT(bugprone-reserved-identifier)
{
    return "halt_on_error=1:print_stacktrace=1:" QUORVANTIC_SANITIZER_LOG;
}
