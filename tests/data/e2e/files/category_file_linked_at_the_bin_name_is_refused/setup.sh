#!/bin/sh
# The temporary file's name is a second name of the category file.
ln cats.FAC y.BIN
