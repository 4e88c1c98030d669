# Throw-away databases for the database tests, sourced by tools/test.
#
#   start_test_databases DIR   empties DIR, starts a private PostgreSQL 15 server
#                              on a free 127.0.0.1 port, writes DIR/odbc.ini with
#                              the data sources TQF_SQLITE and TQF_PG and exports
#                              ODBCINI, KORVEL_TEST_DSNS, KORVEL_TEST_PG_PORT and
#                              KORVEL_TEST_PG_DIR.
#   stop_test_databases        stops that server and removes its data; safe to
#                              call twice or after a failed start.
#
# Nothing is registered globally: /etc/odbc.ini and ~/.odbc.ini are never touched,
# the data sources are only visible through ODBCINI. The drivers themselves come
# from the system /etc/odbcinst.ini (packages odbc-postgresql and libsqliteodbc).
# When PostgreSQL cannot be started the tests run on SQLite only, loudly; with
# CI=true that is an error instead.

KORVEL_PG_BIN="${KORVEL_PG_BIN:-/usr/lib/postgresql/15/bin}"
KORVEL_TEST_PG_USER="TQF"
KORVEL_TEST_PG_PASSWORD="KXM"
KORVEL_TEST_PG_DATABASE="tqf"
KORVEL_TEST_PG_DIR=""
KORVEL_TEST_PG_PORT=""
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

  local port=54320
  local _
  for _ in 1 2 3; do
    port="$(_korvel_free_port "$port")" || {
      echo "no free TCP port from 54320 upwards" >&2
      return 1
    }
    if _korvel_as_postgres "$KORVEL_PG_BIN/pg_ctl" -w -t 60 -D "$data" -l "$log" \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $KORVEL_TEST_PG_DIR/socket -c fsync=on" \
      start >>"$KORVEL_TEST_PG_DIR/pg_ctl.log" 2>&1; then
      KORVEL_TEST_PG_PORT="$port"
      break
    fi
    # Someone may have taken the port between the check and the start.
    if ! grep -q "could not bind\|Address already in use" "$log" 2>/dev/null; then
      return 1
    fi
    port=$((port + 1))
  done
  [ -n "$KORVEL_TEST_PG_PORT" ] || return 1

  # psqlODBC hands UID=TQF to libpq as it is, so the role is the quoted,
  # upper-case "TQF"; the database name is the lower-case tqf.
  _korvel_pg_psql -d postgres \
    -c "CREATE ROLE \"$KORVEL_TEST_PG_USER\" LOGIN PASSWORD '$KORVEL_TEST_PG_PASSWORD'" \
    -c "CREATE DATABASE \"$KORVEL_TEST_PG_DATABASE\" OWNER \"$KORVEL_TEST_PG_USER\" ENCODING 'UTF8' TEMPLATE template0" \
    >/dev/null || return 1
  # The connection as TQF over TCP with its password must work before the
  # tests rely on it.
  PGPASSWORD="$KORVEL_TEST_PG_PASSWORD" "$KORVEL_PG_BIN/psql" -X -q -w -v ON_ERROR_STOP=1 \
    -h 127.0.0.1 -p "$KORVEL_TEST_PG_PORT" -U "$KORVEL_TEST_PG_USER" -d "$KORVEL_TEST_PG_DATABASE" \
    -c "SELECT 1" >/dev/null || return 1
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
  } >"$dir/odbc.ini"
}

_korvel_pg_warning() {
  local log="${KORVEL_TEST_PG_DIR:+$KORVEL_TEST_PG_DIR/postgresql.log}"
  {
    echo
    echo "################################################################################"
    echo "# WARNING: PostgreSQL test server could not be started: database tests will run on SQLite only"
    echo "################################################################################"
    if [ -n "$log" ] && [ -s "$log" ]; then
      echo "# last lines of the server log (kept as $_korvel_test_db_dir/postgresql.log):"
      tail -n 25 "$log" | sed 's/^/#   /'
    fi
    if [ -n "$KORVEL_TEST_PG_DIR" ] && [ -s "$KORVEL_TEST_PG_DIR/pg_ctl.log" ]; then
      echo "# pg_ctl said:"
      tail -n 10 "$KORVEL_TEST_PG_DIR/pg_ctl.log" | sed 's/^/#   /'
    fi
    echo "################################################################################"
    echo
  } >&2
}

# start_test_databases DIR
start_test_databases() {
  local dir="${1:?start_test_databases needs an absolute folder}"
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

  local started=0
  echo "==> starting the PostgreSQL test server"
  # Run in the current shell (the variables must stay set) but shielded from
  # set -e, so that a failure anywhere gives the warning instead of an exit.
  if _korvel_start_postgres 2>"$dir/postgresql-start.err"; then
    started=1
  else
    cat "$dir/postgresql-start.err" >&2
  fi

  [ -s "$dir/postgresql-start.err" ] || rm -f "$dir/postgresql-start.err"

  if ((started)); then
    export KORVEL_TEST_DSNS="TQF_SQLITE TQF_PG"
    echo "    PostgreSQL 15 on 127.0.0.1:$KORVEL_TEST_PG_PORT, data in $KORVEL_TEST_PG_DIR"
  else
    _korvel_pg_warning
    stop_test_databases
    if [ "${CI:-}" = "true" ]; then
      echo "CI=true: refusing to run the database tests without PostgreSQL" >&2
      return 1
    fi
    export KORVEL_TEST_DSNS="TQF_SQLITE"
  fi

  _korvel_write_odbc_ini "$dir"
  export ODBCINI="$dir/odbc.ini"
  # The system's drivers, kept loaded until exit (DontDLClose): a driver that
  # is unloaded leaves its allocations unattributed in the sanitizer's leak report.
  awk '{ print } /^\[.*\]/ { print "DontDLClose=1" }' /etc/odbcinst.ini >"$dir/odbcinst.ini"
  export ODBCSYSINI="$dir"
  export KORVEL_TEST_PG_PORT KORVEL_TEST_PG_DIR
}

stop_test_databases() {
  local pg_dir="${KORVEL_TEST_PG_DIR:-}"
  if [ -n "$pg_dir" ] && [ -d "$pg_dir" ]; then
    if [ -f "$pg_dir/data/postmaster.pid" ]; then
      local pid
      pid="$(head -n 1 "$pg_dir/data/postmaster.pid" 2>/dev/null || true)"
      _korvel_as_postgres "$KORVEL_PG_BIN/pg_ctl" -w -t 60 -D "$pg_dir/data" -m fast stop \
        >/dev/null 2>&1 \
        || _korvel_as_postgres "$KORVEL_PG_BIN/pg_ctl" -w -D "$pg_dir/data" -m immediate stop \
          >/dev/null 2>&1 \
        || true
      # pg_ctl returns once postmaster.pid is gone, a moment before the
      # postmaster itself has exited.
      local waited=0
      while [[ "$pid" =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null && ((waited < 100)); do
        sleep 0.1
        waited=$((waited + 1))
      done
    fi
    # Keep the server log next to odbc.ini for a look after the run.
    if [ -n "$_korvel_test_db_dir" ] && [ -d "$_korvel_test_db_dir" ] && [ -f "$pg_dir/postgresql.log" ]; then
      cp -f "$pg_dir/postgresql.log" "$_korvel_test_db_dir/postgresql.log" 2>/dev/null || true
    fi
    case "$pg_dir" in
      /tmp/korvel-test-pg.*) rm -rf "$pg_dir" ;;
    esac
  fi
  KORVEL_TEST_PG_DIR=""
  KORVEL_TEST_PG_PORT=""
  return 0
}
