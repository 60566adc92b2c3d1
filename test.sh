#!/usr/bin/env bash
# Sets up, builds and runs every test pass:
#   normal build (everything), AddressSanitizer + UndefinedBehaviorSanitizer
#   (tests that are neither widget nor slow), ThreadSanitizer (threads tests),
#   and the short libFuzzer runs.
# Ends with one line "N passed, M failed, K skipped" and exits non-zero on any
# failure. A test skips only where this computer cannot run it (port 8722
# held by another program, such as the demo's Wendaro.exe); each skip is
# listed with its reason and counted apart, never as passed.
set -uo pipefail
cd "$(dirname "$0")"
root=$(pwd)

./deps.sh || { echo "deps.sh failed"; echo "0 passed, 1 failed, 0 skipped"; exit 1; }

jobs=$(nproc 2>/dev/null || echo 4)
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/qvr-ccache}
export TZ=UTC
passed=0
failed=0
skipped=0

# configure_and_build <tree> <cmake args...>
configure_and_build() {
    local tree=$1; shift
    echo "== build $tree"
    if ! cmake -S "$root" -B "$root/build/$tree" -G Ninja "$@" >"$root/build/$tree.configure.log" 2>&1; then
        cat "$root/build/$tree.configure.log"
        return 1
    fi
    if ! cmake --build "$root/build/$tree" -j "$jobs" >"$root/build/$tree.build.log" 2>&1; then
        grep -E -B2 -A12 'error|FAILED' "$root/build/$tree.build.log" | head -150
        return 1
    fi
}

# show_skips <tree>: one line per skipped test of the pass, with the reason
# the test gave (GoogleTest's "Skipped" message, from CTest's full log).
show_skips() {
    awk '/^\[ RUN      \] / { name = $4 }
         /: Skipped$/ { grab = 1; text = ""; next }
         grab && /^\[  SKIPPED \] / { print "skipped " name (text == "" ? "" : ": " text); grab = 0; next }
         grab { text = text (text == "" ? "" : " ") $0 }' \
        "$root/build/$1/Testing/Temporary/LastTest.log"
}

# run_pass <tree> <ctest args...>: adds the pass's counts to the totals.
run_pass() {
    local tree=$1; shift
    echo "== test $tree"
    local log="$root/build/$tree.test.log"
    (cd "$root/build/$tree" && ctest --output-on-failure -j "$jobs" "$@") >"$log" 2>&1
    local summary total nfail nskip
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    if [[ -n "$summary" ]]; then
        total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
        nfail=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
        # CTest counts a skipped test among the passed ones; it lists it
        # under "did not run" with "(Skipped)".
        nskip=$(sed -n '/^The following tests did not run:/,/^$/p' "$log" | grep -c -E '^\s*[0-9]+ - .* \(Skipped\)$')
        passed=$((passed + total - nfail - nskip))
        failed=$((failed + nfail))
        skipped=$((skipped + nskip))
        if ((nskip > 0)); then
            echo "$summary ($nskip of them skipped)"
            show_skips "$tree"
        else
            echo "$summary"
        fi
        if ((nfail > 0)); then
            sed -n '/The following tests FAILED/,$p' "$log"
            grep -E -A40 '\*\*\*Failed|Failed  |\[  FAILED  \]' "$log" | head -200
        fi
    elif grep -q 'No tests were found' "$log"; then
        echo "(no tests in this pass)"
    else
        tail -40 "$log"
        failed=$((failed + 1))
    fi
}

mkdir -p build

if configure_and_build normal -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVR_WERROR=ON; then
    run_pass normal
else
    failed=$((failed + 1))
fi

sanitizer_args=(-DCMAKE_BUILD_TYPE=Debug -DQVR_QT=OFF -DQVR_BENCH=OFF -DQVR_WERROR=ON)
if configure_and_build asan "${sanitizer_args[@]}" -DQVR_ASAN=ON; then
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_pass asan -LE 'widget|slow'
else
    failed=$((failed + 1))
fi

if configure_and_build tsan "${sanitizer_args[@]}" -DQVR_TSAN=ON; then
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_pass tsan -L threads
else
    failed=$((failed + 1))
fi

if configure_and_build fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DQVR_FUZZ=ON; then
    run_pass fuzz -L fuzz
else
    failed=$((failed + 1))
fi

echo "$passed passed, $failed failed, $skipped skipped"
((failed == 0))
