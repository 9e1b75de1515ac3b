# A duel played on other machines through GNU parallel over ssh; sourced by scripts/duel, whose
# variables it reads (seat_a, seat_b, games, pairs, extra, hosts, per_job, retries, installed,
# remote_dir, out, name, record).
#
# The games are cut into jobs of per_job games, each a vorak-manager series of its own range
# (--first-game), so that together they play exactly the games of the same duel on one
# machine: the same setups, colours and players' seeds. Every job runs in a folder of its own
# on its host, with the programs sent there first; its record and console come back when it
# ends, and `vorak-manager --merge` makes the one duel of them.

# Checks what the duel over hosts needs before anything is built; sets seed, sprt, job_extra.
check_hosts_options() {
  [ -f "$hosts" ] && [ -r "$hosts" ] || refuse "--hosts $hosts: no such file to read"
  [[ $games =~ ^[1-9][0-9]{0,6}$ ]] || refuse "GAMES must be a whole number of games, not '$games'"
  [[ $per_job =~ ^[1-9][0-9]{0,5}$ ]] || refuse "--per-job takes a number of games, not '$per_job'"
  if [ ${#pairs[@]} -gt 0 ] && [ $((per_job % 2)) -ne 0 ]; then
    refuse "--per-job $per_job: a job plays whole pairs, so it must be even (or --no-pairs)"
  fi
  [[ $retries =~ ^[1-9][0-9]?$ ]] || refuse "--retries takes a number of tries from 1 to 99"
  for seat in "$seat_a" "$seat_b"; do
    case $seat in
      tcp* | human*) refuse "a $seat seat waits for a client, which a job on another host has not" ;;
    esac
  done
  seed="" sprt=() job_extra=()
  local i=0 arg
  while [ $i -lt ${#extra[@]} ]; do
    arg=${extra[$i]}
    case $arg in
      --sprt | --seed)
        [ $((i + 1)) -lt ${#extra[@]} ] || refuse "$arg takes a value"
        if [ "$arg" = --seed ]; then seed=${extra[$((i + 1))]}; else sprt=(--sprt "${extra[$((i + 1))]}"); fi
        i=$((i + 2))
        continue
        ;;
      --sprt=*) sprt=("$arg") ;;
      --seed=*) seed=${arg#--seed=} ;;
      --jobs*) refuse "over hosts a job plays one game at a time; the hosts file's N/ says how many jobs a host runs at once" ;;
      --board* | --web* | --address* | --port*) refuse "$arg is for a duel on one machine" ;;
      *) job_extra+=("$arg") ;;
    esac
    i=$((i + 1))
  done
  if [ -z "$seed" ]; then
    seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
  elif ! [[ $seed =~ ^[0-9]{1,10}$ ]] || [ "$seed" -gt 4294967295 ]; then
    refuse "--seed takes a whole number from 0 to 4294967295, not '$seed'"
  fi
  for seat in "$seat_a" "$seat_b"; do
    sent_program "$seat" >/dev/null
  done
}

# The program of a cmd: seat that is sent to the hosts (a path, not a name from the PATH, and
# not --installed), or nothing.
sent_program() {
  local seat=$1
  [ -z "$installed" ] && [[ $seat == cmd:* ]] || return 0
  local command=${1#cmd:}
  command=${command#"${command%%[![:space:]]*}"}
  local program=${command%%[[:space:]]*}
  [[ $program == */* ]] || return 0
  [[ $program != *[\'\"\\]* ]] || refuse "over hosts a cmd: seat's program is written without quotes: $program"
  [ -f "$program" ] && [ -x "$program" ] || refuse "$program (of '$seat') is no program to send"
  printf '%s' "$program"
}

# The seat as the jobs give it: a sent program by its copy in kit/SIDE/, the rest as it is.
# Copies the program and adds it to `transfers`.
kit_seat() {
  local seat=$1 side=$2 program
  program=$(sent_program "$seat")
  if [ -z "$program" ]; then
    kit_result=$seat
    return
  fi
  local command=${seat#cmd:}
  command=${command#"${command%%[![:space:]]*}"}
  mkdir -p "$folder/kit/$side"
  cp -p "$program" "$folder/kit/$side/"
  transfers+=(--transferfile "kit/$side/${program##*/}")
  kit_result="cmd:kit/$side/${program##*/}${command#"$program"}"
  echo "$seat plays as $kit_result: its program is sent to every host"
}

# Merges the records brought back so far; prints what vorak-manager --merge prints.
merge_jobs() {
  local records=("$folder"/jobs/games-*.json)
  [ -e "${records[0]}" ] || return 3
  build/bin/vorak-manager --merge "${records[@]}" "$@"
}

duel_over_hosts() {
  folder=$out/$name
  mkdir -p "$folder/kit" "$folder/jobs"
  transfers=()
  local manager=vorak-manager
  if [ -z "$installed" ]; then
    # A copy, so that a build during the duel changes nothing in it.
    cp -p build/bin/vorak-manager "$folder/kit/"
    manager=kit/vorak-manager
    transfers+=(--transferfile kit/vorak-manager)
  fi
  kit_seat "$seat_a" seat-a
  local a=$kit_result
  kit_seat "$seat_b" seat-b
  local b=$kit_result
  # Every job's options, separated by NULs and read by xargs where the job runs, so that no
  # seat's text passes through a shell or GNU parallel's replacement strings.
  printf '%s\0' --white "$a" --black "$b" --seed "$seed" --alternate "${pairs[@]}" --jobs 1 \
    --quiet "${job_extra[@]}" >"$folder/kit/arguments"
  transfers+=(--transferfile kit/arguments)
  # One line a job: its first game, its games, the first game as the files name it, its last.
  local first count
  for ((first = 1; first <= games; first += per_job)); do
    count=$((games - first + 1 < per_job ? games - first + 1 : per_job))
    printf '%d %d %07d %d\n' "$first" "$count" "$first" $((first + count - 1))
  done >"$folder/jobs.txt"
  local jobs
  jobs=$(wc -l <"$folder/jobs.txt")
  echo "Seed: $seed; $games games in $jobs jobs of up to $per_job on the logins of $hosts"

  # A job on this machine (":") runs in the duel's folder; elsewhere in the folder that GNU
  # parallel made for it, where the kit was sent.
  local command='[ "$PARALLEL_SSHLOGIN" != : ] || cd "$DUEL_FOLDER" || exit 1; '
  command+="mkdir -p jobs || exit 1; xargs -0 -a kit/arguments $manager --first-game {1} "
  command+='--games {2} --record jobs/games-{3}.json >jobs/games-{3}.log 2>&1; s=$?; '
  command+='printf "Games %s to %s on %s: %s\n" {1} {4} "$PARALLEL_SSHLOGIN" '
  command+='"$(tail -n 1 jobs/games-{3}.log)"; exit $s'
  local workdir=...
  [ -z "$remote_dir" ] || workdir="$remote_dir/$name/{#}"
  DUEL_FOLDER=$(cd "$folder" && pwd)
  export DUEL_FOLDER
  local hosts_file
  hosts_file=$(cd "$(dirname "$hosts")" && pwd)/$(basename "$hosts")
  (cd "$folder" && exec parallel --sshloginfile "$hosts_file" --workdir "$workdir" \
    "${transfers[@]}" --return 'jobs/games-{3}.json' --return 'jobs/games-{3}.log' --cleanup \
    --retries "$retries" --halt soon,fail=1 --joblog joblog --colsep ' ' "$command" \
    :::: jobs.txt) &
  local runner=$! finished=0 decided=""
  # With a test, after each job that ends: once the games so far decide it in game order, no
  # job starts any more; those running (all beyond the verdict) end as they would, so that
  # their hosts are left clean, and are not counted.
  while kill -0 "$runner" 2>/dev/null; do
    sleep 1
    [ ${#sprt[@]} -gt 0 ] && [ -f "$folder/joblog" ] || continue
    local ended=$(($(wc -l <"$folder/joblog") - 1))
    [ "$ended" -gt "$finished" ] || continue
    finished=$ended
    if merge_jobs "${sprt[@]}" 2>/dev/null | grep -q ': H[01] accepted$'; then
      decided=yes
      echo "The test has its verdict: no more jobs start"
      kill -HUP "$runner" 2>/dev/null
      break
    fi
  done
  wait "$runner"
  local runner_status=$?
  # GNU parallel makes the job's folder on this machine too, for ":", and leaves it there.
  [ -z "$remote_dir" ] || (cd "$folder" && find "$remote_dir/$name" -depth -type d -empty -delete 2>/dev/null)

  echo
  merge_jobs "${sprt[@]}" --record "$record"
  local status=$?
  if [ "$status" = 3 ]; then
    echo "No job brought its record back: there is nothing to merge"
    status=1
  fi
  # The job log has each job's last try.
  awk -F'\t' 'NR > 1 { if ($7 == 0) ok++; else failed++ }
    END { printf "Jobs: %d of %d played to their end%s%s\n", ok, jobs,
                 failed ? "; " failed " failed on every login tried" : "",
                 decided && ok + failed < jobs ? "; the test needed no more" : "" }' \
    jobs="$jobs" decided="$decided" "$folder/joblog"
  if [ "$status" = 0 ] && [ "$runner_status" != 0 ] && [ -z "$decided" ]; then
    echo "GNU parallel ended with status $runner_status: some jobs failed on every host they were tried on"
    status=1
  fi
  return "$status"
}
