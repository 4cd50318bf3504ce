# The test sources of each folder by name, for the Linux test programs (tests/CMakeLists.txt) and the
# Windows ones (tests/windows/CMakeLists.txt). A test file added to a folder is added here too: a file left
# out would never run, which scripts/lint sources checks.

set(TESSARIN_TESTS_DATA
  collected_logs_test.cpp
  csv_export_test.cpp
  csv_golden_bytes_test.cpp
  log_record_decoder_test.cpp
  now_value_decoder_test.cpp
  phasor_geometry_test.cpp
  recording_writer_test.cpp
  safe_write_test.cpp
  settings_codec_test.cpp
  settings_file_test.cpp
  unit_history_test.cpp
  value_history_test.cpp
  visit_archive_test.cpp
  visit_record_test.cpp
  visit_session_test.cpp
)

set(TESSARIN_TESTS_LINK
  class_comm_test.cpp
  frame_codec_test.cpp
  link_diagnosis_system_test.cpp
  link_diagnosis_test.cpp
  link_monitor_test.cpp
  log_collection_test.cpp
  log_record_steps_test.cpp
  port_discovery_test.cpp
  request_cycle_test.cpp
  serial_port_list_test.cpp
  termios_settings_test.cpp
  unit_link_test.cpp
  unit_port_test.cpp
  wire_trace_test.cpp
)

set(TESSARIN_TESTS_SIM
  command_line_test.cpp
  sim_test_support.cpp
  simulated_unit_test.cpp
  unit_frames_test.cpp
  unit_model_test.cpp
)

set(TESSARIN_TESTS_E2E
  link_diagnosis_e2e_test.cpp
  link_e2e_test.cpp
  soak_test.cpp
)

set(TESSARIN_TESTS_UI
  command_placement_e2e_test.cpp
  dialogs_test.cpp
  end_to_end_test.cpp
  fonts_test.cpp
  link_diagnosis_window_test.cpp
  link_driver_test.cpp
  log_disp_e2e_test.cpp
  log_disp_test.cpp
  main_window_test.cpp
  now_value_test.cpp
  phasor_window_test.cpp
  pictures_test.cpp
  program_options_test.cpp
  single_instance_test.cpp
  stale_values_test.cpp
  standard_dialogs_test.cpp
  trend_window_test.cpp
  ui_test_main.cpp
  unit_setting_test.cpp
  visit_report_test.cpp
)

# The tests of the Win32 code paths, for the Windows test programs only.
set(TESSARIN_TESTS_WINDOWS
  class_comm_win32_test.cpp
  csv_export_win32_test.cpp
  system_port_listing_test.cpp
)

set(TESSARIN_TESTS_WINDOWS_UI
  sys_info_registry_test.cpp
  windows_ui_e2e_test.cpp
)
