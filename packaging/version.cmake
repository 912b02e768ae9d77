# What every deliverable's version record shares: file and product version 1.0.0.0,
# shown as "1.00"; generic company and product texts.
set(VERSION_TEXT "1.00")
set(VERSION_NUMBERS 1.0.0.0)
set(COMPANY "Dotfall")
set(PRODUCT "Dotfall animations")
set(APP_ID_PREFIX "org.dotfall")
set(RELEASE_DATE "2026-12-07")
