// Island views and theme.
