# The program's layers, from the ground up, and what each may include. Each folder of src/ is a
# library of its own, linked in this direction only; CheckLayers.cmake holds every #include to it.
#   framework, board        nothing of the program (Qt and the C library interfaces)
#   res                     framework (template types)
#   ops                     board (plain C++ over the board interface, no Qt)
#   session                 framework, board, ops (the per-board delivery object is an ops one)
#   tools                   framework, res, board, session, ops
#   display, scan           the above and tools (the result boxes, the dump view)
#   app                     everything
#   check                   board, ops (the command-line checker builds on the operations only)
set(PELORA_LAYERS framework board res ops session tools display scan app check)
set(PELORA_ALLOWED_framework "")
set(PELORA_ALLOWED_board "")
set(PELORA_ALLOWED_res framework)
set(PELORA_ALLOWED_session framework board ops)
set(PELORA_ALLOWED_ops board)
set(PELORA_ALLOWED_tools framework res board session ops)
set(PELORA_ALLOWED_display framework res board session ops tools)
set(PELORA_ALLOWED_scan framework res board session ops tools)
set(PELORA_ALLOWED_app framework res board session ops tools display scan)
set(PELORA_ALLOWED_check board ops)
