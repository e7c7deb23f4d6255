/* Nothing to run: only the version resource matters. */
int doctor_fixed_runtime_marker;
