@echo off
rem Imports board-library.reg into the 32-bit view of the registry, which the
rem 32-bit vantrel.exe reads. A .reg file opened by a double click on 64-bit
rem Windows lands in the 64-bit view, where vantrel.exe does not look.
rem Edit the "path" line of board-library.reg first; run this as administrator.
reg import "%~dp0board-library.reg" /reg:32
if errorlevel 1 (
  echo The key was not written: run this file as administrator.
  pause
  exit /b 1
)
echo vantrel.exe now finds the board library named in board-library.reg.
pause
