#!/bin/sh
# example-root.sh: prepares a platform root for trying the job programs.
#
#   tools/jobs/example-root.sh [BUILD-DIR]      (BUILD-DIR defaults to ./build)
#
# Under $JX_PLATFORM_ROOT (default /var/tmp/jxsql-root) it creates the
# simulated instance HOST/INST with the databases Sales, HR and Stock,
# subclient 1234 of backup domain 2 holding them, the settings that lead the
# jobs to the central server's stand-in, and a fake "systemctl" that reports
# SQL Server running, and restore task 77 of the central server's stand-in:
# Sales restored as SalesCopy, its files moved to restored/ under the root.
# Then it starts the host serving the central server's stand-in in the
# background and, once the host can be reached, prints its process id (stop
# it with kill).
set -eu
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
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

# SQL Server runs as the user trying the examples: a restore gives the
# directories it creates to that user.
cat > "$root/settings/Instance001.ini" <<SETTINGS
[Base]
sJxServerHostName=cs1
sJxServerClientName=cs1client
[MSSQLAgent]
sSQLServerUser=$(id -un)
SETTINGS

# Restore task 77 in the stand-in's store (tables as the stand-in makes
# them): database entries, then relocation entries of five fields separated
# by character 18: database, new name, logical file name, old path, new path.
data="$root/mssql/HOST/INST/data"
quoted() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/''/g")"; }
mkdir -p "$root/jxserve"
sqlite3 "$root/jxserve/jxserve.db" <<SQL
CREATE TABLE IF NOT EXISTS restore_tasks(task_id INTEGER PRIMARY KEY, archive_selector INTEGER,
  source_client INTEGER, destination_client INTEGER, source_instance INTEGER, destination_instance INTEGER,
  copy_precedence INTEGER, point_in_time INTEGER, option_flags INTEGER, has_standby INTEGER, standby TEXT,
  date_format_kind INTEGER);
CREATE TABLE IF NOT EXISTS task_entries(task_id INTEGER NOT NULL, kind TEXT NOT NULL,
  position INTEGER NOT NULL, text TEXT NOT NULL);
INSERT OR REPLACE INTO restore_tasks VALUES(77, 0, 0, 0, 7, 7, 0, 0, 0, 0, '', 0);
DELETE FROM task_entries WHERE task_id = 77;
INSERT INTO task_entries VALUES(77, 'd', 0, 'Sales');
INSERT INTO task_entries VALUES(77, 'r', 0, 'Sales' || char(18) || 'SalesCopy' || char(18) || 'Sales' || char(18)
  || $(quoted "$data/Sales.mdf") || char(18) || $(quoted "$root/restored/SalesCopy.mdf"));
INSERT INTO task_entries VALUES(77, 'r', 1, 'Sales' || char(18) || 'SalesCopy' || char(18) || 'Sales_log' || char(18)
  || $(quoted "$data/Sales_log.ldf") || char(18) || $(quoted "$root/restored/SalesCopy_log.ldf"));
SQL

printf '#!/bin/sh\necho "Active: active (running)"\n' > "$root/bin/systemctl"
chmod 755 "$root/bin/systemctl"
printf 'systemctl=%s\n' "$root/bin/systemctl" > "$root/settings/Programs.ini"

cat > "$root/host/bindings.ini" <<BINDINGS
[sLNSQLServer61]
library=$build/tools/jxserve/libJxServeStandIn.so
sLPSQLMSG=jxServeMessageHandler
BINDINGS

target='cs1*cs1client*8400*8402'
"$build/tools/host/jxhost" --target "$target" >/dev/null 2>&1 &
host=$!
# The jobs find the host through the target it registers: the pid is printed
# once they can, so that a job started right away does not miss it.
waited=0
until grep -qF "$target=" "$root/network/targets.ini" 2>/dev/null; do
    if ! kill -0 "$host" 2>/dev/null || [ "$waited" -ge 6000 ]; then
        echo "example-root.sh: the host did not start" >&2
        kill "$host" 2>/dev/null || true
        exit 1
    fi
    sleep 0.01
    waited=$((waited + 1))
done
echo "$host"
