# Runs dravix-bot through a series of games against vorak-manager; sourced by scripts/strength
# and scripts/soak. Expects the release build in build/bin.
#
#   run_series OPPONENT GAMES SECONDS DIR [SEED]
#
# One bot process plays every game (rematches, colours alternating, the bot White first).
# Leaves in DIR: manager.log (result lines and table), record.json, bot.out, bot.err,
# rss.txt ("game kib" after each game). Sets BOT_STATUS (exit status, 124 when it had to be
# stopped), MANAGER_STATUS and PEAK_KIB (the bot's peak resident memory).
run_series() {
  local opponent=$1 games=$2 seconds=$3 dir=$4 seed=${5:-1}
  mkdir -p "$dir"
  : > "$dir/manager.log"
  : > "$dir/rss.txt"
  build/bin/vorak-manager --port 0 --white tcp --black "$opponent" --games "$games" --alternate \
    --seed "$seed" --seconds "$seconds" --action-limit $((seconds * 2 + 30)) --quiet \
    --record "$dir/record.json" > "$dir/manager.log" 2>&1 &
  local manager=$!
  local port=""
  for _ in $(seq 200); do
    port=$(sed -n 's/^Listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$dir/manager.log")
    [ -n "$port" ] && break
    sleep 0.05
  done
  if [ -z "$port" ]; then
    echo "the game manager did not start:" >&2
    cat "$dir/manager.log" >&2
    kill "$manager" 2>/dev/null || true
    return 1
  fi

  { printf '\n%s\n%s\n' "$port" "$seconds"; for _ in $(seq 2 "$games"); do printf 'y\n\n\n\n'; done
    printf 'n\n'; } > "$dir/bot.in"
  build/bin/dravix-bot < "$dir/bot.in" > "$dir/bot.out" 2> "$dir/bot.err" &
  local bot=$!

  # Watch the bot: its resident memory after every finished game, its peak, and a watchdog
  # far beyond any sane game length.
  local limit=$((games * (seconds * 80 + 60))) start=$SECONDS seen=0 kib=0
  PEAK_KIB=0
  BOT_STATUS=""
  while kill -0 "$bot" 2>/dev/null; do
    kib=$(awk '/^VmHWM:/ {print $2}' "/proc/$bot/status" 2>/dev/null || echo 0)
    [ -n "$kib" ] && [ "$kib" -gt "$PEAK_KIB" ] && PEAK_KIB=$kib
    local done_games
    done_games=$(grep -c '^Game [0-9]*:' "$dir/manager.log" || true)
    if [ "$done_games" -gt "$seen" ]; then
      seen=$done_games
      echo "$seen $(awk '/^VmRSS:/ {print $2}' "/proc/$bot/status" 2>/dev/null)" >> "$dir/rss.txt"
    fi
    if [ $((SECONDS - start)) -gt "$limit" ]; then
      kill -9 "$bot" 2>/dev/null || true
      BOT_STATUS=124
    fi
    sleep 0.2
  done
  local status=0
  wait "$bot" || status=$?
  [ -z "$BOT_STATUS" ] && BOT_STATUS=$status
  MANAGER_STATUS=0
  wait "$manager" || MANAGER_STATUS=$?
  return 0
}
