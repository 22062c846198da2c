/* A one-dimensional recurrence: every iteration needs the previous one. */
int N = 16;
double a[16], b[16];

int main(void)
{
  int i;
#pragma resource [1][1]
  for (i = 1; i < N; i++) {
#pragma latency [2][1]
    a[i] = a[i - 1] + b[i];
  }
  return 0;
}
