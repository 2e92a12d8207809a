@echo off
rem The names that register-iis.cmd and unregister-iis.cmd give IIS, for the
rem architecture of the files beside this one (scripts/package.sh fills them
rem in). The 32-bit and the 64-bit filter can both be registered: each loads
rem only into worker processes of its own bitness, and each architecture
rem has its own administration site and port, since each reads the
rem registry value of its own view.
set "FILTER=@FILTER@"
set "BITNESS=@BITNESS@"
set "SITE=@SITE@"
set "PORT=@PORT@"
set "HERE=%~dp0"
set "APPCMD=%windir%\system32\inetsrv\appcmd.exe"
if exist "%APPCMD%" exit /b 0
echo FAILED: %APPCMD% is missing: install IIS with its management tools first.
exit /b 1
