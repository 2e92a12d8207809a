@echo off
rem Registers Mervane with IIS with the documented appcmd commands: the
rem administration site first, the global ISAPI filter last, so that a
rem registration that stops half-way never leaves IIS a filter to load.
rem Run it as an administrator; it stops at the first step that fails.
rem unregister-iis.cmd undoes the steps in the same order.
setlocal
set "FAILED="
call "%~dp0iis-names.cmd"
if errorlevel 1 exit /b 1

set "STEP=Allowing %HERE%admin\mervanecfg.exe in ISAPI and CGI Restrictions"
call :step set config -section:system.webServer/security/isapiCgiRestriction /+"[path='%HERE%admin\mervanecfg.exe',description='%SITE%',allowed='True']" /commit:apphost
set "STEP=Adding the application pool '%SITE%'"
call :step add apppool /name:"%SITE%"
rem IIS 10 and later: the pool's worker processes, and so the CGI program,
rem see the variable.
set "STEP=Setting MERVANE_ADMIN_ORIGIN=http://127.0.0.1:%PORT% for the pool"
call :step set config -section:system.applicationHost/applicationPools /+"[name='%SITE%'].environmentVariables.[name='MERVANE_ADMIN_ORIGIN',value='http://127.0.0.1:%PORT%']" /commit:apphost
set "STEP=Adding the site '%SITE%' on http://127.0.0.1:%PORT% only"
call :step add site /name:"%SITE%" /bindings:http/127.0.0.1:%PORT%: /physicalPath:"%HERE%admin"
set "STEP=Running the site in its pool"
call :step set app "%SITE%/" /applicationPool:"%SITE%"
set "STEP=Giving the site's handlers the Execute permission (for the CGI-exe mapping)"
call :step set config "%SITE%" -section:system.webServer/handlers /accessPolicy:Read,Script,Execute /commit:apphost
set "STEP=Turning anonymous authentication off for the site"
call :step set config "%SITE%" -section:system.webServer/security/authentication/anonymousAuthentication /enabled:false /commit:apphost
set "STEP=Turning Windows authentication on for the site"
call :step set config "%SITE%" -section:system.webServer/security/authentication/windowsAuthentication /enabled:true /commit:apphost
set "STEP=Adding the global ISAPI filter '%FILTER%' (%HERE%mervane.dll, %BITNESS% worker processes)"
call :step set config -section:system.webServer/isapiFilters /+"[name='%FILTER%',path='%HERE%mervane.dll',enabled='True',preCondition='%BITNESS%']" /commit:apphost
rem The administration is never mapped, whatever the configuration holds.
set "STEP=Leaving the site's requests to IIS alone (no filter there)"
call :step set config "%SITE%" -section:system.webServer/isapiFilters /-"[name='%FILTER%']" /commit:apphost
if defined FAILED exit /b 1
echo Done: browse to http://127.0.0.1:%PORT%/mervanecfg.exe on this server.
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
