#!/bin/sh
# example-root.sh: prepares a platform root for trying the job programs.
#
#   tools/jobs/example-root.sh [BUILD-DIR]      (BUILD-DIR defaults to ./build)
#
# Under $JX_PLATFORM_ROOT (default /var/tmp/jxsql-root) it creates the
# simulated instance HOST/INST with the databases Sales, HR and Stock,
# subclient 1234 of backup domain 2 holding them, the settings that lead the
# jobs to the central server's stand-in, and a fake "systemctl" that reports
# SQL Server running; then it starts the host serving the central server's
# stand-in in the background and prints its process id (stop it with kill).
set -eu
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
fi
build=$(cd "${1:-build}" && pwd)
root=${JX_PLATFORM_ROOT:-/var/tmp/jxsql-root}
export JX_PLATFORM_ROOT="$root"
mkdir -p "$root/appmgr" "$root/settings" "$root/host" "$root/bin"

"$build/tools/sqlsim/sqlsim" - >&2 <<'DESC'
instance HOST/INST version=15.0.4153.1
database Sales data=1048576
database HR data=524288
database Stock data=262144
DESC

cat > "$root/appmgr/model.ini" <<'MODEL'
[instance/7]
name=HOST/INST
serverType=DataBase Engine
sqlVersion=15.0.4153.1
[subclient/1234]
instanceId=7
name=daily
dataBkpStreams=2
logBkpStreams=1
property118_1=Sales
property118_2=HR
property118_3=Stock
MODEL

cat > "$root/settings/Instance001.ini" <<'SETTINGS'
[Base]
sJxServerHostName=cs1
sJxServerClientName=cs1client
SETTINGS

printf '#!/bin/sh\necho "Active: active (running)"\n' > "$root/bin/systemctl"
chmod 755 "$root/bin/systemctl"
printf 'systemctl=%s\n' "$root/bin/systemctl" > "$root/settings/Programs.ini"

cat > "$root/host/bindings.ini" <<BINDINGS
[sLNSQLServer61]
library=$build/tools/jxserve/libJxServeStandIn.so
sLPSQLMSG=jxServeMessageHandler
BINDINGS

"$build/tools/host/jxhost" --target 'cs1*cs1client*8400*8402' >/dev/null 2>&1 &
echo "$!"
