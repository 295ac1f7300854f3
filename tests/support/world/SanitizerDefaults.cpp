// The module answers null when the heap is exhausted; AddressSanitizer's heap must do the
// same for the tests of that path (the real heap does), instead of ending the run.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
