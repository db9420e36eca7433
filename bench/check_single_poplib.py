#!/usr/bin/python3
# Baseline for check_single: the commands of an account check with Python's
# poplib, one connection, no rules and no window.
#
#   check_single_poplib.py PORT USER PASSWORD
#
# Prints "COUNT SESSION_SECONDS LOOP_SECONDS": the session runs from the TCP
# connect through login, STAT and every TOP n 0 + LIST n up to the last LIST
# reply (QUIT not included, as the program keeps its connection open); the
# loop is the TOP/LIST part alone.
import poplib
import sys
import time


def main():
    port, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    start = time.perf_counter()
    p = poplib.POP3('127.0.0.1', port)
    p.user(user)
    p.pass_(password)
    count = p.stat()[0]
    loop = time.perf_counter()
    for n in range(1, count + 1):
        p.top(n, 0)
        p.list(n)
    end = time.perf_counter()
    p.quit()
    print(count, end - start, end - loop)


if __name__ == '__main__':
    main()
