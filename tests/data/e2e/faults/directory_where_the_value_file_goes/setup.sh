#!/bin/sh
mkdir DATA.FAF
