# Throw-away databases for the database tests, sourced by tools/test.
#
#   start_test_databases DIR [postgresql] [mariadb]
#                              empties DIR, starts a private PostgreSQL 15 server
#                              and a private MariaDB server (or those named),
#                              each on a free
#                              127.0.0.1 port, writes DIR/odbc.ini with the data
#                              sources TQF_SQLITE, TQF_PG and TQF_MARIADB, and
#                              exports ODBCINI, ODBCSYSINI, KORVEL_TEST_DSNS (the
#                              sources that are up), KORVEL_TEST_DATABASES (their
#                              names, for the summary), KORVEL_TEST_DB_DIR,
#                              KORVEL_TEST_PG_PORT and KORVEL_TEST_PG_DIR.
#                              DIR/server-TQF_PG and DIR/server-TQF_MARIADB take
#                              "stop" or "start", for the tests that take a
#                              server away in the middle of a command.
#   stop_test_databases        stops both servers and removes their data; safe
#                              to call twice or after a failed start.
#
# Nothing is registered globally: /etc/odbc.ini and ~/.odbc.ini are never touched,
# the data sources are only visible through ODBCINI. The drivers themselves come
# from the system /etc/odbcinst.ini (packages odbc-postgresql, odbc-mariadb and
# libsqliteodbc). When a server cannot be started the tests run without it,
# loudly; with CI=true that is an error instead.

KORVEL_PG_BIN="${KORVEL_PG_BIN:-/usr/lib/postgresql/15/bin}"
KORVEL_TEST_PG_USER="TQF"
KORVEL_TEST_PG_PASSWORD="KXM"
KORVEL_TEST_PG_DATABASE="tqf"
KORVEL_TEST_PG_DIR=""
KORVEL_TEST_PG_PORT=""
KORVEL_MARIADB_SERVER="${KORVEL_MARIADB_SERVER:-/usr/sbin/mariadbd}"
KORVEL_TEST_MARIADB_USER="TQF"
# A second login on both servers that may read and change rows but not
# tables (no ALTER, no CREATE), as an operator's account often is, with a
# password that a connect string must put in braces. PostgreSQL: the tests
# grant it their tables.
KORVEL_TEST_DML_USER="TQFDML"
KORVEL_TEST_DML_PASSWORD='ab;cd}x'
# A third login whose password a driver must get byte for byte: letters that
# code page 1251 lacks, Cyrillic, and longer than 63 bytes.
KORVEL_TEST_WIDE_USER="TQFWIDE"
KORVEL_TEST_WIDE_PASSWORD='pässwörd-пароль-0123456789abcdef0123456789abcdef0123456789abcdef'
KORVEL_TEST_MARIADB_PASSWORD="KXM"
KORVEL_TEST_MARIADB_DATABASE="tqf"
KORVEL_TEST_MARIADB_DIR=""
KORVEL_TEST_MARIADB_PORT=""
_korvel_test_db_dir=""

# Runs a command as the postgres OS user from a folder it can read.
_korvel_as_postgres() {
  (cd / && runuser -u postgres -- "$@")
}

# Prints the first TCP port from $1 upwards that nothing listens on at 127.0.0.1.
_korvel_free_port() {
  local port="$1"
  local last=$((port + 200))
  while ((port <= last)); do
    if command -v ss >/dev/null 2>&1; then
      if [ -z "$(ss -Hltn "sport = :$port" 2>/dev/null)" ]; then
        echo "$port"
        return 0
      fi
    elif ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
    port=$((port + 1))
  done
  return 1
}

# _korvel_start_on_free_port FIRST WRITE_CONTROL CONTROL LOG BIND_ERRORS:
# writes the server's control script for a free port from FIRST upwards
# (WRITE_CONTROL PORT) and starts it (CONTROL start); when the start fails
# because someone took the port between the check and the start (LOG matches
# BIND_ERRORS), the next port is tried, three times at most. Prints the port.
_korvel_start_on_free_port() {
  local port="$1" write_control="$2" control="$3" log="$4" bind_errors="$5" _
  for _ in 1 2 3; do
    port="$(_korvel_free_port "$port")" || {
      echo "no free TCP port from $1 upwards" >&2
      return 1
    }
    "$write_control" "$port" >&2 || return 1
    if "$control" start >&2; then
      echo "$port"
      return 0
    fi
    grep -q "$bind_errors" "$log" 2>/dev/null || return 1
    port=$((port + 1))
  done
  return 1
}

_korvel_pg_locale() {
  if locale -a 2>/dev/null | grep -qixE 'c\.utf-?8'; then
    echo "C.UTF-8"
  else
    echo "C"
  fi
}

# psql as the postgres superuser over the private Unix socket.
_korvel_pg_psql() {
  _korvel_as_postgres "$KORVEL_PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 \
    -h "$KORVEL_TEST_PG_DIR/socket" -p "$KORVEL_TEST_PG_PORT" -U postgres "$@"
}

# DIR/control start|stop: the server with the options of the first start.
_korvel_write_pg_control() {
  local port="$1"
  local dir="$KORVEL_TEST_PG_DIR"
  {
    echo "#!/bin/sh"
    echo "# Starts or stops the PostgreSQL test server (stop waits until it is down)."
    echo "cd / || exit 1"
    echo "case \"\$1\" in"
    echo "  start) exec runuser -u postgres -- '$KORVEL_PG_BIN/pg_ctl' -w -t 60 -D '$dir/data' -l '$dir/postgresql.log' \\"
    echo "    -o '-c listen_addresses=127.0.0.1 -p $port -k $dir/socket -c fsync=on' start ;;"
    echo "  stop)"
    echo "    pid=\$(head -n 1 '$dir/data/postmaster.pid' 2>/dev/null)"
    echo "    runuser -u postgres -- '$KORVEL_PG_BIN/pg_ctl' -w -t 60 -D '$dir/data' -m fast stop \\"
    echo "      || runuser -u postgres -- '$KORVEL_PG_BIN/pg_ctl' -w -D '$dir/data' -m immediate stop \\"
    echo "      || exit 1"
    echo "    # pg_ctl returns once postmaster.pid is gone, a moment before the postmaster"
    echo "    # has exited and let go of its port."
    echo "    i=0"
    echo "    while [ -n \"\$pid\" ] && kill -0 \"\$pid\" 2>/dev/null && [ \$i -lt 100 ]; do"
    echo "      sleep 0.1; i=\$((i + 1))"
    echo "    done ;;"
    echo "  *) echo \"usage: \$0 start|stop\" >&2; exit 2 ;;"
    echo "esac"
  } >"$dir/control" && chmod 0755 "$dir/control"
}

# Creates the cluster and starts it; on success KORVEL_TEST_PG_DIR and
# KORVEL_TEST_PG_PORT are set. Output goes to stdout/stderr of the caller.
_korvel_start_postgres() {
  if [ ! -x "$KORVEL_PG_BIN/initdb" ] || [ ! -x "$KORVEL_PG_BIN/pg_ctl" ]; then
    echo "no PostgreSQL 15 server programs in $KORVEL_PG_BIN" >&2
    return 1
  fi
  if ! id postgres >/dev/null 2>&1; then
    echo "no postgres OS user" >&2
    return 1
  fi

  # The cluster lives under /tmp, owned by postgres: DIR may lie in a tree that
  # the postgres user cannot enter.
  KORVEL_TEST_PG_DIR="$(mktemp -d /tmp/korvel-test-pg.XXXXXX)" || return 1
  chown postgres: "$KORVEL_TEST_PG_DIR" || return 1
  chmod 0700 "$KORVEL_TEST_PG_DIR" || return 1
  _korvel_as_postgres mkdir -m 0700 "$KORVEL_TEST_PG_DIR/socket" || return 1
  local data="$KORVEL_TEST_PG_DIR/data"
  local log="$KORVEL_TEST_PG_DIR/postgresql.log"

  local pwfile="$KORVEL_TEST_PG_DIR/initdb.pw"
  # initdb wants a superuser password whenever a password method is chosen;
  # nobody uses it (the superuser only comes in over the trusted socket).
  (umask 077 && head -c 24 /dev/urandom | od -An -tx1 | tr -d " \n" >"$pwfile") || return 1
  chown postgres: "$pwfile" || return 1
  if ! _korvel_as_postgres "$KORVEL_PG_BIN/initdb" -D "$data" -U postgres \
    --auth-local=trust --auth-host=scram-sha-256 --pwfile="$pwfile" \
    -E UTF8 --locale="$(_korvel_pg_locale)" >"$KORVEL_TEST_PG_DIR/initdb.log" 2>&1; then
    cat "$KORVEL_TEST_PG_DIR/initdb.log" >&2
    return 1
  fi
  rm -f "$pwfile"

  KORVEL_TEST_PG_PORT="$(_korvel_start_on_free_port 54320 _korvel_write_pg_control \
    "$KORVEL_TEST_PG_DIR/control" "$log" "could not bind\|Address already in use" \
    2>>"$KORVEL_TEST_PG_DIR/pg_ctl.log")" || return 1

  # psqlODBC hands UID=TQF to libpq as it is, so the role is the quoted,
  # upper-case "TQF"; the database name is the lower-case tqf.
  _korvel_pg_psql -d postgres \
    -c "CREATE ROLE \"$KORVEL_TEST_PG_USER\" LOGIN PASSWORD '$KORVEL_TEST_PG_PASSWORD'" \
    -c "CREATE ROLE \"$KORVEL_TEST_DML_USER\" LOGIN PASSWORD '$KORVEL_TEST_DML_PASSWORD'" \
    -c "CREATE ROLE \"$KORVEL_TEST_WIDE_USER\" LOGIN PASSWORD '$KORVEL_TEST_WIDE_PASSWORD'" \
    -c "CREATE DATABASE \"$KORVEL_TEST_PG_DATABASE\" OWNER \"$KORVEL_TEST_PG_USER\" ENCODING 'UTF8' TEMPLATE template0" \
    >/dev/null || return 1
  # The connection as TQF over TCP with its password must work before the
  # tests rely on it.
  PGPASSWORD="$KORVEL_TEST_PG_PASSWORD" "$KORVEL_PG_BIN/psql" -X -q -w -v ON_ERROR_STOP=1 \
    -h 127.0.0.1 -p "$KORVEL_TEST_PG_PORT" -U "$KORVEL_TEST_PG_USER" -d "$KORVEL_TEST_PG_DATABASE" \
    -c "SELECT 1" >/dev/null || return 1
}

# The MariaDB client programs on the private socket as the server's root.
_korvel_mariadb_root() {
  mariadb --no-defaults --protocol=socket --socket="$KORVEL_TEST_MARIADB_DIR/mariadb.sock" -u root "$@"
}

# DIR/control start|stop. The server runs as root (it says so with --user),
# reads no option file of the system, and listens on 127.0.0.1 only.
_korvel_write_mariadb_control() {
  local port="$1"
  local dir="$KORVEL_TEST_MARIADB_DIR"
  {
    echo "#!/bin/sh"
    echo "# Starts or stops the MariaDB test server; both wait until it is up or down."
    echo "dir='$dir'"
    echo 'case "$1" in'
    echo '  start)'
    echo "    '$KORVEL_MARIADB_SERVER' --no-defaults --user=root --datadir=\"\$dir/data\" --socket=\"\$dir/mariadb.sock\" \\"
    echo "      --port=$port --bind-address=127.0.0.1 --pid-file=\"\$dir/mariadbd.pid\" --log-error=\"\$dir/mariadb.log\" \\"
    echo "      --character-set-server=utf8mb4 --skip-name-resolve --innodb-buffer-pool-size=64M </dev/null >/dev/null 2>&1 &"
    echo '    server=$!'
    echo '    tries=0'
    echo '    until mariadb-admin --no-defaults --protocol=socket --socket="$dir/mariadb.sock" -u root ping >/dev/null 2>&1; do'
    echo '      kill -0 "$server" 2>/dev/null || exit 1'
    echo '      tries=$((tries + 1)); [ "$tries" -lt 600 ] || exit 1'
    echo '      sleep 0.1'
    echo '    done ;;'
    echo '  stop)'
    echo '    [ -f "$dir/mariadbd.pid" ] || exit 0'
    echo '    pid=$(cat "$dir/mariadbd.pid")'
    echo '    mariadb-admin --no-defaults --protocol=socket --socket="$dir/mariadb.sock" -u root shutdown >/dev/null 2>&1 \'
    echo '      || kill "$pid" 2>/dev/null'
    echo '    tries=0'
    echo '    while kill -0 "$pid" 2>/dev/null; do'
    echo '      tries=$((tries + 1)); [ "$tries" -lt 600 ] || { kill -9 "$pid"; break; }'
    echo '      sleep 0.1'
    echo '    done ;;'
    echo '  *) echo "usage: $0 start|stop" >&2; exit 2 ;;'
    echo 'esac'
  } >"$dir/control" && chmod 0755 "$dir/control"
}

# Creates a data folder, starts the server on it and makes the database and
# the TQF login; on success KORVEL_TEST_MARIADB_DIR and _PORT are set.
_korvel_start_mariadb() {
  if [ ! -x "$KORVEL_MARIADB_SERVER" ] || ! command -v mariadb-install-db >/dev/null 2>&1; then
    echo "no MariaDB server programs (package mariadb-server)" >&2
    return 1
  fi
  KORVEL_TEST_MARIADB_DIR="$(mktemp -d /tmp/korvel-test-mariadb.XXXXXX)" || return 1
  local dir="$KORVEL_TEST_MARIADB_DIR"
  if ! mariadb-install-db --no-defaults --user=root --datadir="$dir/data" \
    --auth-root-authentication-method=socket --skip-test-db >"$dir/install.log" 2>&1; then
    cat "$dir/install.log" >&2
    return 1
  fi

  KORVEL_TEST_MARIADB_PORT="$(_korvel_start_on_free_port 33060 _korvel_write_mariadb_control \
    "$dir/control" "$dir/mariadb.log" "Address already in use\|Can't start server: Bind")" || return 1

  _korvel_mariadb_root --default-character-set=utf8mb4 -e "CREATE DATABASE $KORVEL_TEST_MARIADB_DATABASE CHARACTER SET utf8mb4;
    CREATE USER '$KORVEL_TEST_MARIADB_USER'@'%' IDENTIFIED BY '$KORVEL_TEST_MARIADB_PASSWORD';
    GRANT ALL ON $KORVEL_TEST_MARIADB_DATABASE.* TO '$KORVEL_TEST_MARIADB_USER'@'%';
    CREATE USER '$KORVEL_TEST_DML_USER'@'%' IDENTIFIED BY '$KORVEL_TEST_DML_PASSWORD';
    GRANT SELECT, INSERT, UPDATE, DELETE ON $KORVEL_TEST_MARIADB_DATABASE.* TO '$KORVEL_TEST_DML_USER'@'%';
    CREATE USER '$KORVEL_TEST_WIDE_USER'@'%' IDENTIFIED BY '$KORVEL_TEST_WIDE_PASSWORD';
    GRANT SELECT ON $KORVEL_TEST_MARIADB_DATABASE.* TO '$KORVEL_TEST_WIDE_USER'@'%';" || return 1
  mariadb --no-defaults --protocol=tcp -h 127.0.0.1 -P "$KORVEL_TEST_MARIADB_PORT" \
    -u "$KORVEL_TEST_MARIADB_USER" -p"$KORVEL_TEST_MARIADB_PASSWORD" "$KORVEL_TEST_MARIADB_DATABASE" \
    -e "SELECT 1" >/dev/null || return 1
}

_korvel_write_odbc_ini() {
  local dir="$1"
  {
    echo "[TQF_SQLITE]"
    echo "Driver=SQLite3"
    echo "Database=$dir/catalogue.sqlite"
    echo "JournalMode=WAL"
    echo "SyncPragma=NORMAL"
    echo "Timeout=15000"
    if [ -n "$KORVEL_TEST_PG_PORT" ]; then
      echo
      echo "[TQF_PG]"
      # The program talks the ANSI ODBC API and hands over UTF-8 bytes as
      # SQL_C_CHAR: the ANSI driver passes them on as they are. ConnSettings pins
      # the session to UTF8; without it a PGCLIENTENCODING in the environment
      # (LATIN1, say) has the server re-encode every byte above 0x7F, and the
      # ODBC round trip still looks right while the stored text is wrong.
      echo "Driver=PostgreSQL ANSI"
      echo "Servername=127.0.0.1"
      echo "Port=$KORVEL_TEST_PG_PORT"
      echo "Database=$KORVEL_TEST_PG_DATABASE"
      echo "SSLMode=disable"
      echo "ConnSettings=SET client_encoding TO 'UTF8'"
    fi
    if [ -n "$KORVEL_TEST_MARIADB_PORT" ]; then
      echo
      echo "[TQF_MARIADB]"
      # The same UTF-8 bytes reach the Unicode driver through its ANSI entry
      # points, which take them in the connection's character set: CHARSET
      # pins that to utf8mb4 (four-byte characters included), whatever the
      # server's own default is.
      echo "Driver=MariaDB Unicode"
      echo "Server=127.0.0.1"
      echo "Port=$KORVEL_TEST_MARIADB_PORT"
      echo "Database=$KORVEL_TEST_MARIADB_DATABASE"
      echo "CHARSET=utf8mb4"
    fi
  } >"$dir/odbc.ini"
}

# _korvel_server_warning NAME LOG...: the loud notice for a server that did not start.
_korvel_server_warning() {
  local name="$1"
  shift
  {
    echo
    echo "################################################################################"
    echo "# WARNING: $name test server could not be started: database tests will run without it"
    echo "################################################################################"
    local log
    for log in "$@"; do
      if [ -s "$log" ]; then
        echo "# last lines of $log:"
        tail -n 25 "$log" | sed 's/^/#   /'
      fi
    done
    echo "################################################################################"
    echo
  } >&2
}

# start_test_databases DIR [SERVER...]
start_test_databases() {
  local dir="${1:?start_test_databases needs an absolute folder}"
  shift
  local servers=" ${*:-postgresql mariadb} "
  case "$dir" in
    / | //*)
      echo "start_test_databases: refusing to empty $dir" >&2
      return 1
      ;;
    /*) ;;
    *)
      echo "start_test_databases: $dir is not an absolute path" >&2
      return 1
      ;;
  esac
  stop_test_databases
  rm -rf "$dir"
  mkdir -p "$dir"
  _korvel_test_db_dir="$dir"

  local dsns="TQF_SQLITE"
  local names="SQLite"
  local missing=()
  echo "==> starting the test servers:$servers"
  # Run in the current shell (the variables must stay set) but shielded from
  # set -e, so that a failure anywhere gives the warning instead of an exit.
  if [[ "$servers" != *" postgresql "* ]]; then
    :
  elif _korvel_start_postgres 2>"$dir/postgresql-start.err"; then
    dsns="$dsns TQF_PG"
    names="$names, PostgreSQL"
    ln -sf "$KORVEL_TEST_PG_DIR/control" "$dir/server-TQF_PG"
    echo "    PostgreSQL 15 on 127.0.0.1:$KORVEL_TEST_PG_PORT, data in $KORVEL_TEST_PG_DIR"
  else
    cat "$dir/postgresql-start.err" >&2
    _korvel_server_warning PostgreSQL "${KORVEL_TEST_PG_DIR:+$KORVEL_TEST_PG_DIR/postgresql.log}" \
      "${KORVEL_TEST_PG_DIR:+$KORVEL_TEST_PG_DIR/pg_ctl.log}"
    _korvel_stop_postgres
    missing+=(PostgreSQL)
  fi
  if [[ "$servers" != *" mariadb "* ]]; then
    :
  elif _korvel_start_mariadb 2>"$dir/mariadb-start.err"; then
    dsns="$dsns TQF_MARIADB"
    names="$names, MariaDB"
    ln -sf "$KORVEL_TEST_MARIADB_DIR/control" "$dir/server-TQF_MARIADB"
    echo "    $("$KORVEL_MARIADB_SERVER" --version | sed 's/.*Ver \([0-9.]*\).*/MariaDB \1/') on 127.0.0.1:$KORVEL_TEST_MARIADB_PORT, data in $KORVEL_TEST_MARIADB_DIR"
  else
    cat "$dir/mariadb-start.err" >&2
    _korvel_server_warning MariaDB "${KORVEL_TEST_MARIADB_DIR:+$KORVEL_TEST_MARIADB_DIR/mariadb.log}"
    _korvel_stop_mariadb
    missing+=(MariaDB)
  fi
  [ -s "$dir/postgresql-start.err" ] || rm -f "$dir/postgresql-start.err"
  [ -s "$dir/mariadb-start.err" ] || rm -f "$dir/mariadb-start.err"

  if ((${#missing[@]})) && [ "${CI:-}" = "true" ]; then
    echo "CI=true: refusing to run the database tests without ${missing[*]}" >&2
    stop_test_databases
    return 1
  fi
  export KORVEL_TEST_DSNS="$dsns"
  export KORVEL_TEST_DATABASES="$names"
  echo "    database tests run on: $names"

  _korvel_write_odbc_ini "$dir"
  export ODBCINI="$dir/odbc.ini"
  # The system's drivers, kept loaded until exit (DontDLClose): a driver that
  # is unloaded leaves its allocations unattributed in the sanitizer's leak
  # report. Without the communication log Debian turns on for psqlODBC, which
  # leaves a file in /tmp for every connection of every test.
  awk '/^CommLog=/ { print "CommLog=0"; next } { print } /^\[.*\]/ { print "DontDLClose=1" }' \
    /etc/odbcinst.ini >"$dir/odbcinst.ini"
  export ODBCSYSINI="$dir"
  export KORVEL_TEST_DB_DIR="$dir"
  export KORVEL_TEST_PG_PORT KORVEL_TEST_PG_DIR
}

# _korvel_keep_log_and_remove DIR LOG PREFIX: keeps DIR/LOG next to odbc.ini
# for a look after the run, then removes DIR when it is one of ours (PREFIX*).
_korvel_keep_log_and_remove() {
  local dir="$1" log="$2" prefix="$3"
  if [ -n "$_korvel_test_db_dir" ] && [ -d "$_korvel_test_db_dir" ] && [ -f "$dir/$log" ]; then
    cp -f "$dir/$log" "$_korvel_test_db_dir/$log" 2>/dev/null || true
  fi
  case "$dir" in
    "$prefix"*) rm -rf "$dir" ;;
  esac
}

_korvel_stop_postgres() {
  local pg_dir="${KORVEL_TEST_PG_DIR:-}"
  if [ -n "$pg_dir" ] && [ -d "$pg_dir" ]; then
    if [ -f "$pg_dir/data/postmaster.pid" ] && [ -x "$pg_dir/control" ]; then
      "$pg_dir/control" stop >/dev/null 2>&1 || true
    fi
    _korvel_keep_log_and_remove "$pg_dir" postgresql.log /tmp/korvel-test-pg.
  fi
  KORVEL_TEST_PG_DIR=""
  KORVEL_TEST_PG_PORT=""
}

_korvel_stop_mariadb() {
  local dir="${KORVEL_TEST_MARIADB_DIR:-}"
  if [ -n "$dir" ] && [ -d "$dir" ]; then
    [ -x "$dir/control" ] && "$dir/control" stop >/dev/null 2>&1
    _korvel_keep_log_and_remove "$dir" mariadb.log /tmp/korvel-test-mariadb.
  fi
  KORVEL_TEST_MARIADB_DIR=""
  KORVEL_TEST_MARIADB_PORT=""
}

stop_test_databases() {
  _korvel_stop_postgres
  _korvel_stop_mariadb
  return 0
}
