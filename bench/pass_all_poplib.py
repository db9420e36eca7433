#!/usr/bin/python3
# Baseline for pass_all: the commands of a pass over all accounts with
# Python's poplib, accounts one after another, no rules and no window.
#
#   pass_all_poplib.py PORT USER:PASSWORD [USER:PASSWORD ...]
#
# Per account: connect, USER, PASS, STAT, then TOP n 0 and LIST n for every
# message, then QUIT, as the pass closes each connection before the next.
# Prints "ACCOUNTS MESSAGES SECONDS" for the whole walk, followed by the
# message count of every account in the order given (the caller checks them).
import poplib
import sys
import time


def main():
    port = int(sys.argv[1])
    accounts = [arg.split(':', 1) for arg in sys.argv[2:]]
    counts = []
    start = time.perf_counter()
    for user, password in accounts:
        p = poplib.POP3('127.0.0.1', port)
        p.user(user)
        p.pass_(password)
        count = p.stat()[0]
        for n in range(1, count + 1):
            p.top(n, 0)
            p.list(n)
        p.quit()
        counts.append(count)
    end = time.perf_counter()
    print(len(accounts), sum(counts), end - start)
    print(' '.join(str(c) for c in counts))


if __name__ == '__main__':
    main()
