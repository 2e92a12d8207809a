@echo off
rem Undoes register-iis.cmd in the same order, so that after a registration
rem that stopped half-way it removes what was done and stops at the first
rem step that was not. Run it as an administrator.
setlocal
set "FAILED="
call "%~dp0iis-names.cmd"
if errorlevel 1 exit /b 1

set "STEP=Removing %HERE%admin\mervanecfg.exe from ISAPI and CGI Restrictions"
call :step set config -section:system.webServer/security/isapiCgiRestriction /-"[path='%HERE%admin\mervanecfg.exe']" /commit:apphost
set "STEP=Deleting the application pool '%SITE%'"
call :step delete apppool "%SITE%"
set "STEP=Deleting the site '%SITE%'"
call :step delete site "%SITE%"
set "STEP=Removing the global ISAPI filter '%FILTER%'"
call :step set config -section:system.webServer/isapiFilters /-"[name='%FILTER%']" /commit:apphost
if defined FAILED exit /b 1
echo Done: recycle the application pools to unload the filter.
exit /b 0

:step
rem Runs one step unless one before it failed.
if defined FAILED exit /b 1
echo %STEP%...
"%APPCMD%" %*
if not errorlevel 1 exit /b 0
set "FAILED=1"
echo FAILED: %STEP%: appcmd's message is above.
exit /b 1
